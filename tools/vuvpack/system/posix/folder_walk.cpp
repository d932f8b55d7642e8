#include "vuvpack/system/folder_walk.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

const char kPathSeparator = '/';

bool ListFolderNames(const std::string& folder, std::vector<std::string>* names) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    names->clear();
    while (struct dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) names->push_back(entry->d_name);
    }
    closedir(dir);
    return true;
}

bool RealPath(const std::string& path, std::string* resolved) {
    char buffer[PATH_MAX];
    if (!realpath(path.c_str(), buffer)) return false;
    *resolved = buffer;
    return true;
}
