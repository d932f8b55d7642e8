// The file version in a stub's version resource, as vuvpack --version
// shows it.
#pragma once

#include <stdint.h>

#include <string>

// major.minor, then build and revision only when they are not zero (the
// form tools/cmake/version.cmake gives the release).
std::string FormatFileVersion(uint32_t versionMs, uint32_t versionLs);

// The version of the stub at path; false with the problem in *problem.
bool ReadStubVersion(const std::string& path, std::string* version, std::string* problem);
