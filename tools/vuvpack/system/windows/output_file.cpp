#include "vuvpack/system/output_file.h"

#include <errno.h>
#include <string.h>

#include "vuvpack/system/error_text.h"
#include "vuvpack/system/windows/wide_text.h"

static std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

static std::string LeafName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name of its own beside the package: the process and a counter, tried
// until one is free.
bool OpenOutput(const std::string& path, OutputFile* output, std::string* error) {
    output->path = path;
    output->handle = -1;
    std::string folder = Folder(path);
    if (folder == ".") folder.clear();
    for (unsigned attempt = 0; attempt < 1000; attempt++) {
        output->tempPath = folder + "." + LeafName(path) + ".vuvpack-" + std::to_string(GetCurrentProcessId()) +
                           "-" + std::to_string(attempt);
        HANDLE file = CreateFileW(LongPath(output->tempPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            output->handle = (intptr_t)file;
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    SetErrnoFromLastError();
    *error = path + ": can't be written (" + ErrnoText() + ")";
    output->tempPath.clear();
    return false;
}

bool WriteOutput(OutputFile* output, const void* bytes, size_t count, std::string* error) {
    const uint8_t* next = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
        DWORD part = count > (1u << 30) ? (1u << 30) : (DWORD)count;
        DWORD written = 0;
        if (!WriteFile((HANDLE)output->handle, next, part, &written, nullptr) || written == 0) {
            SetErrnoFromLastError();
            *error = output->path + ": can't be written (" + ErrnoText() + ")";
            return false;
        }
        next += written;
        count -= written;
    }
    return true;
}

bool CommitOutput(OutputFile* output, std::string* error) {
    HANDLE file = (HANDLE)output->handle;
    output->handle = -1;
    bool ok = FlushFileBuffers(file);
    if (!ok) SetErrnoFromLastError();
    if (!CloseHandle(file) && ok) {
        SetErrnoFromLastError();
        ok = false;
    }
    if (ok && !MoveFileExW(LongPath(output->tempPath).c_str(), LongPath(output->path).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        SetErrnoFromLastError();
        ok = false;
    }
    if (!ok) {
        *error = output->path + ": can't be written (" + ErrnoText() + ")";
        return false;
    }
    output->tempPath.clear();
    return true;
}

void DiscardOutput(OutputFile* output) {
    if (output->handle != -1) CloseHandle((HANDLE)output->handle);
    output->handle = -1;
    if (!output->tempPath.empty()) DeleteFileW(LongPath(output->tempPath).c_str());
    output->tempPath.clear();
}
