// Where build finds a stub when no --stub is given: relative to the vuvpack
// program itself, so that an install under any prefix and a build tree
// both work.
#pragma once

#include <string>
#include <vector>

#include "vuvpack/system/program_path.h"

struct StubArch {
    const char* name;  // the value of --arch
    const char* file;  // the stub's file name
};
extern const StubArch kStubArches[2];  // x86 first: the default

// The entry for an --arch value, or null.
const StubArch* FindStubArch(const std::string& name);

// The places looked at, in order: <prefix>/share/vuvuzu beside the bin
// folder of an install, then beside vuvpack, then the folder above it (a
// build tree's host tools sit one level below the stub). None without an
// absolute program path: never the current folder.
std::vector<std::string> StubCandidates(const StubArch& arch, const std::string& program);

// The first candidate that exists; false with a one-line problem naming
// every place looked at, or saying that there was none to look at.
bool FindStub(const StubArch& arch, std::string* path, std::string* problem,
              const std::string& program = ProgramPath());
