#include "vuvpack/system/output_file.h"

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "vuvpack/system/error_text.h"

static std::string Folder(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

static std::string LeafName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool OpenOutput(const std::string& path, OutputFile* output, std::string* error) {
    output->path = path;
    output->tempPath = Folder(path) + "/." + LeafName(path) + ".vuvpack-XXXXXX";
    int fd = mkstemp(&output->tempPath[0]);
    output->handle = fd;
    if (fd < 0) {
        *error = path + ": can't be written (" + ErrnoText() + ")";
        output->tempPath.clear();
        return false;
    }
    // mkstemp makes the file private; a package is an ordinary file.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return true;
}

bool WriteOutput(OutputFile* output, const void* bytes, size_t count, std::string* error) {
    const uint8_t* next = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
        ssize_t written = write((int)output->handle, next, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            *error = output->path + ": can't be written (" + ErrnoText() + ")";
            return false;
        }
        next += written;
        count -= (size_t)written;
    }
    return true;
}

bool CommitOutput(OutputFile* output, std::string* error) {
    int fd = (int)output->handle;
    output->handle = -1;
    int problem = fsync(fd) == 0 ? 0 : errno;
    if (close(fd) != 0 && problem == 0) problem = errno;
    if (problem == 0 && rename(output->tempPath.c_str(), output->path.c_str()) != 0) problem = errno;
    if (problem != 0) {
        *error = output->path + ": can't be written (" + strerror(problem) + ")";
        return false;
    }
    output->tempPath.clear();
    return true;
}

void DiscardOutput(OutputFile* output) {
    if (output->handle >= 0) close((int)output->handle);
    output->handle = -1;
    if (!output->tempPath.empty()) unlink(output->tempPath.c_str());
    output->tempPath.clear();
}
