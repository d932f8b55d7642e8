// Walking a folder: the names in it and where a path really leads.
#pragma once

#include <string>
#include <vector>

// Between a folder and a name in messages and in the paths vuvpack reads.
extern const char kPathSeparator;

// The names in a folder, without "." and "..", in no particular order.
// False with errno set when it can't be read.
bool ListFolderNames(const std::string& folder, std::vector<std::string>* names);

// The absolute path with every link resolved, or false with errno set.
bool RealPath(const std::string& path, std::string* resolved);
