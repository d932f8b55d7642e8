#include "driver.h"

void RunExtraction(WCHAR* archivePath) { (void)archivePath; }
