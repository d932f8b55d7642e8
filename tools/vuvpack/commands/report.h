// Messages to the user: one line each on stderr.
#pragma once

#include <string>

// "vuvpack: text"
void ReportError(const std::string& text);
// "vuvpack: warning: text"
void ReportWarning(const std::string& text);
