#include "vuvpack/system/file_info.h"

#include <sys/stat.h>

// Linux has no attribute bits: archive always (the file is new to the
// cabinet), read-only when the owner may not write, hidden for a leading
// dot; never system.
static uint32_t AttributesOf(const std::string& path, const struct stat& status) {
    uint32_t attributes = kFileArchive;
    if (!(status.st_mode & S_IWUSR)) attributes |= kFileReadOnly;
    size_t slash = path.rfind('/');
    if (path[slash == std::string::npos ? 0 : slash + 1] == '.') attributes |= kFileHidden;
    return attributes;
}

bool ReadEntryInfo(const std::string& path, bool followLinks, EntryInfo* info) {
    struct stat status;
    if ((followLinks ? stat(path.c_str(), &status) : lstat(path.c_str(), &status)) != 0) return false;
    info->kind = S_ISDIR(status.st_mode)   ? kEntryFolder
                 : S_ISLNK(status.st_mode) ? kEntryLink
                 : S_ISREG(status.st_mode) ? kEntryFile
                                           : kEntryOther;
    info->size = (uint64_t)status.st_size;
    info->modified = status.st_mtime;
    info->attributes = AttributesOf(path, status);
    return true;
}
