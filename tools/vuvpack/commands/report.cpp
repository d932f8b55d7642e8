#include "vuvpack/commands/report.h"

#include "vuvpack/system/console_text.h"

void ReportError(const std::string& text) { WriteText(stderr, "vuvpack: " + text + "\n"); }

void ReportWarning(const std::string& text) { WriteText(stderr, "vuvpack: warning: " + text + "\n"); }
