#include "vuvpack/system/program_entry.h"

int main(int argc, char** argv) { return VuvpackMain(std::vector<std::string>(argv + 1, argv + argc)); }
