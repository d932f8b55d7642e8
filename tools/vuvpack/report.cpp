#include "report.h"

#include <stdio.h>

void ReportError(const std::string& text) { fprintf(stderr, "vuvpack: %s\n", text.c_str()); }

void ReportWarning(const std::string& text) { fprintf(stderr, "vuvpack: warning: %s\n", text.c_str()); }
