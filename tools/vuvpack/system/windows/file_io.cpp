#include "vuvpack/system/file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>

#include "vuvpack/system/windows/wide_text.h"

// A folder opens too, as on Linux, so that callers say "not a regular file"
// of it rather than the access error the C library would give.
FILE* OpenForReading(const std::string& path) {
    HANDLE handle = CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return nullptr;
    }
    int fd = _open_osfhandle((intptr_t)handle, _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(fd, "rb");
    if (!file) _close(fd);
    return file;
}

bool SeekTo(FILE* file, uint64_t offset) { return _fseeki64(file, (int64_t)offset, SEEK_SET) == 0; }

bool RegularFileSize(FILE* file, uint64_t* size) {
    HANDLE handle = (HANDLE)_get_osfhandle(_fileno(file));
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    *size = ((uint64_t)info.nFileSizeHigh << 32) | info.nFileSizeLow;
    return true;
}

static bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE file = CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool read = GetFileInformationByHandle(file, info);
    CloseHandle(file);
    return read;
}

bool SameFile(const std::string& first, const std::string& second) {
    BY_HANDLE_FILE_INFORMATION a, b;
    return FileIdentity(first, &a) && FileIdentity(second, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

bool MapWholeFile(const std::string& path, MappedFile* file) {
    *file = MappedFile();
    HANDLE handle = CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return false;
    }
    LARGE_INTEGER length = {};
    void* view = nullptr;
    if (GetFileType(handle) == FILE_TYPE_DISK && GetFileSizeEx(handle, &length) && length.QuadPart > 0) {
        HANDLE mapping = CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (mapping) {
            view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
            CloseHandle(mapping);  // the view keeps the mapping
        }
        if (!view) SetErrnoFromLastError();
    } else {
        errno = EINVAL;
    }
    CloseHandle(handle);
    if (!view) return false;
    file->mapping = view;
    file->data = static_cast<const uint8_t*>(view);
    file->size = (uint64_t)length.QuadPart;
    return true;
}

void UnmapWholeFile(MappedFile* file) {
    if (file->mapping) UnmapViewOfFile(file->mapping);
    *file = MappedFile();
}
