#include "vuvpack/system/error_text.h"

#include <errno.h>
#include <string.h>

std::string ErrnoText() { return strerror(errno); }
