// vuvpack build: a stub's image, a package header and a cabinet.
#pragma once

#include <string>
#include <vector>

// Exit status: 0 built, 1 failed (no output left), 2 usage error.
int RunBuild(const std::vector<std::string>& args);
