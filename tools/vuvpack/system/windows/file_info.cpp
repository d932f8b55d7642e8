#include "vuvpack/system/file_info.h"

#include "vuvpack/system/windows/wide_text.h"

static const DWORD kAskedAttributeBits =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
static_assert(FILE_ATTRIBUTE_READONLY == kFileReadOnly && FILE_ATTRIBUTE_HIDDEN == kFileHidden &&
                  FILE_ATTRIBUTE_SYSTEM == kFileSystem && FILE_ATTRIBUTE_ARCHIVE == kFileArchive,
              "the bits are the system's own");

// Symbolic links and junctions are links; other reparse points (cloud
// placeholders, deduplicated files) read as what they hold.
static bool IsLink(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return found.dwReserved0 == IO_REPARSE_TAG_SYMLINK || found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT;
}

bool ReadEntryInfo(const std::string& path, bool followLinks, EntryInfo* info) {
    std::wstring wide = LongPath(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        SetErrnoFromLastError();
        return false;
    }
    bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLink(wide);
    if (link && followLinks) {
        // The attributes and times of the file the link leads to.
        HANDLE file = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                  FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        BY_HANDLE_FILE_INFORMATION target;
        bool read = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &target);
        if (!read) SetErrnoFromLastError();
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (!read) return false;
        data.dwFileAttributes = target.dwFileAttributes;
        data.ftLastWriteTime = target.ftLastWriteTime;
        data.nFileSizeHigh = target.nFileSizeHigh;
        data.nFileSizeLow = target.nFileSizeLow;
        link = false;
    }
    info->kind = link                                                   ? kEntryLink
                 : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? kEntryFolder
                 : (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)      ? kEntryOther
                                                                        : kEntryFile;
    info->size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    info->modified = UnixTime(data.ftLastWriteTime);
    info->attributes = data.dwFileAttributes & kAskedAttributeBits;
    return true;
}
