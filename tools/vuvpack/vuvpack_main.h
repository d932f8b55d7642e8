// The program after its system's entry has turned the arguments into UTF-8.
#pragma once

#include <string>
#include <vector>

// The arguments after the program name; returns the exit status.
int VuvpackMain(std::vector<std::string> args);
