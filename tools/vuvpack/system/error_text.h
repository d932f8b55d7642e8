// The system's errors in messages: errno, which the Windows forms of the
// seams set from GetLastError() (so that messages read as on Linux).
#pragma once

#include <string>

// The text of errno.
std::string ErrnoText();
