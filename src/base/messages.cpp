#include "base/messages.h"

#include "base/state.h"
#include "resource.h"

const WCHAR kCaption[] = L"VUV-UZU";

void LoadText(UINT id, WCHAR* text, int capacity) {
    text[0] = 0;
    if (LoadStringW(GetModuleHandleW(nullptr), id, text, capacity) <= 0) text[0] = 0;
}

void NoteQuietFailure(DWORD code) {
    if (G.QuietRun && !G.QuietExitCode) G.QuietExitCode = code;
}

int ShowBox(HWND owner, const WCHAR* text, const WCHAR* caption, UINT style, DWORD quietCode) {
    if (!G.QuietRun) return MessageBoxW(owner, text, caption, style);
    NoteQuietFailure(quietCode);
    return (style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
}

// The exit code under /Q for the box of string id: Windows error codes, as
// installers report them. Called right after the failure, whose last error
// is the system's own report of a file that can't be written.
static DWORD QuietCode(UINT id) {
    if (!G.QuietRun) return 0;
    DWORD error = GetLastError();
    ULARGE_INTEGER available;
    switch (id) {
    case IDS_CANNOT_CREATE_FILE:
        // A short write to a full disk may leave no error code behind.
        if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ||
            (GetDiskFreeSpaceExW(G.RunSettings.destination, &available, nullptr, nullptr) && !available.QuadPart))
            return ERROR_DISK_FULL;
        return error ? error : ERROR_WRITE_FAULT;
    case IDS_CANNOT_OPEN_ARCHIVE:
        return GetFileAttributesW(G.ArchivePathBuffer) == INVALID_FILE_ATTRIBUTES ? ERROR_FILE_NOT_FOUND
                                                                                  : ERROR_OPEN_FAILED;
    case IDS_UNSUPPORTED_FORMAT: return ERROR_INVALID_DATA;
    case IDS_INVALID_FILENAME_SKIPPED:
        // The run goes on, but its set of files is not whole: no command runs.
        G.RunIncomplete = TRUE;
        return ERROR_FILE_CORRUPT;
    case IDS_CANNOT_CREATE_FOLDER: return ERROR_DIRECTORY;
    case IDS_CRC_ERROR: return ERROR_CRC;
    case IDS_NEEDS_WIN64: return ERROR_EXE_MACHINE_TYPE_MISMATCH;
    case IDS_EXTRACTION_FAILED: return ERROR_FILE_CORRUPT;
    }
    return 0;  // a question
}

int ShowStringBox(HWND owner, UINT id, UINT style) {
    DWORD quietCode = QuietCode(id);
    WCHAR text[kTextChars];
    LoadText(id, text, kTextChars);
    return ShowBox(owner, text, kCaption, style, quietCode);
}

int ShowFormattedBox(HWND owner, UINT id, const WCHAR* argument, const WCHAR* caption, UINT style) {
    DWORD quietCode = QuietCode(id);
    WCHAR format[kLongTextChars];
    WCHAR text[kLongTextChars + MAX_PATH];
    LoadText(id, format, kLongTextChars);
    // wsprintfW writes at most 1024 characters; the buffer holds the longest
    // format plus a full path, and the argument is cut to a path's length.
    WCHAR cut[MAX_PATH];
    lstrcpynW(cut, argument, MAX_PATH);
    wsprintfW(text, format, cut);
    return ShowBox(owner, text, caption, style, quietCode);
}
