#include "vuvpack/system/file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* OpenForReading(const std::string& path) { return fopen(path.c_str(), "rb"); }

bool SeekTo(FILE* file, uint64_t offset) { return fseeko(file, (off_t)offset, SEEK_SET) == 0; }

bool RegularFileSize(FILE* file, uint64_t* size) {
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    *size = (uint64_t)info.st_size;
    return true;
}

bool SameFile(const std::string& first, const std::string& second) {
    struct stat a, b;
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

bool MapWholeFile(const std::string& path, MappedFile* file) {
    *file = MappedFile();
    int fd = open(path.c_str(), O_RDONLY);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        if (fd >= 0) close(fd);
        return false;
    }
    void* mapping = MAP_FAILED;
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        mapping = mmap(nullptr, (size_t)info.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
    } else {
        errno = EINVAL;
    }
    close(fd);
    if (mapping == MAP_FAILED) return false;
    file->mapping = mapping;
    file->data = static_cast<const uint8_t*>(mapping);
    file->size = (uint64_t)info.st_size;
    return true;
}

void UnmapWholeFile(MappedFile* file) {
    if (file->mapping) munmap(file->mapping, (size_t)file->size);
    *file = MappedFile();
}
