// The program after its system's entry (main, or wmain for Unicode
// arguments, in system/<system>/entry.cpp) has set up the standard streams
// and turned the arguments into UTF-8. The commands define it: the entry,
// linked into the program alone, is the one call from the system up.
#pragma once

#include <string>
#include <vector>

// The arguments after the program name; returns the exit status.
int VuvpackMain(std::vector<std::string> args);
