// Where the running vuvpack program lies, for the stubs beside it.
#pragma once

#include <string>

// The program's own file, or "" when the system doesn't say.
std::string ProgramPath();
