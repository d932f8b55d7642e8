#include "extract/notify.h"

#include <io.h>

#include "base/messages.h"
#include "base/state.h"
#include "base/string_list.h"
#include "base/throttle.h"
#include "extract/decoder.h"
#include "extract/names.h"
#include "extract/output_path.h"
#include "extract/replacement.h"
#include "resource.h"
#include "ui/overwrite_dialog.h"
#include "ui/progress_dialog.h"

enum {
    kOutputOpenFlags = 0x8321,  // write only, sequential, create, truncate, binary
    kOutputPermission = 0x180,  // read and write
    kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                      FILE_ATTRIBUTE_ARCHIVE,  // 0x27: never the executable or UTF-8 name bits
};

// The stamp of the file on disk for the overwrite question; 0 (and size 0)
// when it cannot be opened for reading.
static void ReadExistingFile(const WCHAR* path, OverwriteQuery* query) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    FILETIME written = {};
    BOOL haveTime = GetFileTime(file, nullptr, nullptr, &written);
    DWORD size = GetFileSize(file, nullptr);
    CloseHandle(file);
    query->existingSize = size == INVALID_FILE_SIZE ? 0 : size;

    FILETIME local;
    WORD date = 0, time = 0;
    if (haveTime && FileTimeToLocalFileTime(&written, &local) && FileTimeToDosDateTime(&local, &date, &time))
        query->existingStamp = ((DWORD)date << 16) | time;
}

enum OverwriteDecision { Skip, Replace, Cancel };

static OverwriteDecision DecideOverwrite(const FDINOTIFICATION* entry) {
    if (G.RunSettings.OverwriteAll) return Replace;

    OverwriteQuery query = {};
    query.path = G.CurrentOutputPath;
    query.incomingSize = entry->cb;
    query.incomingStamp = ((DWORD)entry->date << 16) | entry->time;
    ReadExistingFile(G.CurrentOutputPath, &query);
    BOOL newer = query.existingStamp < query.incomingStamp;
    if (G.NewerOnly) return newer ? Replace : Skip;

    INT_PTR answer = ShowOverwritePrompt(&query);
    if (answer == -1 || answer == IDCANCEL) return Cancel;
    if (answer == 100) G.RunSettings.OverwriteAll = 1;
    // Newer sets NewerOnly and answers Yes: the dates decide this file too.
    if (G.NewerOnly) return newer ? Replace : Skip;
    if (answer == IDNO) return Skip;
    return answer ? Replace : Skip;
}

// A name that comes before the dialog, or too soon after the last one
// shown, is kept for the next progress report: the file it names may be a
// large one, still being written long after.
static void ShowCurrentName(const WCHAR* name) {
    HWND dialog = G.ProgressWindow;
    if (dialog && DisplayDue(&G.NameThrottle)) {
        G.UnshownName[0] = 0;
        SetDlgItemTextW(dialog, IDC_CURRENT_FILE, name);
        return;
    }
    lstrcpynW(G.UnshownName, name, MAX_PATH);
}

static INT_PTR CopyFileEntry(const FDINOTIFICATION* entry) {
    WCHAR name[MAX_PATH];
    // A name whose UTF-16 form does not fit is refused like an over-long name.
    if (!DecodeStoredName(entry->psz1, name)) {
        G.AbortCode = -1;
        ShowSystemError((DWORD)CO_E_PATHTOOLONG);
        return -1;
    }
    WCHAR* stored = name[0] == L'\\' ? name + 1 : name;

    G.CurrentEntryState = -1;
    if (CleanStoredName(stored)) {
        ShowCurrentName(stored);
        G.CurrentEntryState = BuildOutputPath(G.RunSettings.destination, stored, G.CurrentOutputPath);
    }
    if (G.CurrentEntryState != 1) return G.CurrentEntryState;

    G.ExpectedFileSize = entry->cb;
    // After a cancel no existing file is asked about.
    if (G.AbortCode) return -1;
    DWORD existing = GetFileAttributesW(G.CurrentOutputPath);
    if (existing != INVALID_FILE_ATTRIBUTES) {
        // A folder can't be replaced: as when the output can't be opened,
        // with what the system reports for opening a folder as a file.
        if (existing & FILE_ATTRIBUTE_DIRECTORY) {
            NoteQuietFailure(ERROR_ACCESS_DENIED);
            return -1;
        }
        OverwriteDecision decision = DecideOverwrite(entry);
        if (decision == Cancel) {
            G.CurrentEntryState = 0;
            G.AbortCode = 100;
            return -1;
        }
        if (decision == Skip) return G.CurrentEntryState = 0;
        // In the run's own private folder (a package that deletes its files
        // after its command) no file is the user's.
        if (G.PrivateTempFolder) StringListAdd(&G.PathList, G.CurrentOutputPath);
        G.OutputFile = G.ReplacementPath;
        G.CurrentEntryState = CreateReplacement(G.CurrentOutputPath, G.ReplacementPath);
        if (G.CurrentEntryState == -1) {
            G.AbortCode = -1;
            ShowStringBox(ProgressOwner(), IDS_CANNOT_CREATE_FILE, MB_ICONERROR);
            return -1;
        }
    } else {
        // Only a file the user did not have may be deleted after the run.
        if (G.RunSettings.DeleteAfterRun && G.RunSettings.command[0]) StringListAdd(&G.PathList, G.CurrentOutputPath);
        G.OutputFile = G.CurrentOutputPath;
        G.RedirectOpenToArchive = FALSE;
        G.CurrentEntryState = (int)DecoderOpen((char*)G.CurrentOutputPath, kOutputOpenFlags, kOutputPermission);
        // The run fails once the library gives up; the system's reason is known only here.
        if (G.CurrentEntryState == -1) NoteQuietFailure(GetLastError());
        G.RedirectOpenToArchive = TRUE;
    }
    if (G.CurrentEntryState != -1) {
        G.OutputDescriptor = G.CurrentEntryState;
        G.OutputUnfinished = TRUE;
    }
    return G.CurrentEntryState;
}

// The stored time (local) and the kept attributes go through the output's
// own handle before it is closed: one open per file.
static void ApplyStoredDetails(int descriptor, const FDINOTIFICATION* entry) {
    FILE_BASIC_INFO details = {};  // zero times stay as they are
    FILETIME local, universal;
    if (DosDateTimeToFileTime(entry->date, entry->time, &local) && LocalFileTimeToFileTime(&local, &universal)) {
        details.CreationTime.LowPart = universal.dwLowDateTime;
        details.CreationTime.HighPart = (LONG)universal.dwHighDateTime;
        details.LastWriteTime = details.CreationTime;
    }
    // Zero would mean "unchanged"; a file without kept bits is a normal file.
    details.FileAttributes = (entry->attribs & kKeptAttributes) ? (entry->attribs & kKeptAttributes)
                                                               : FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle((HANDLE)_get_osfhandle(descriptor), FileBasicInfo, &details, sizeof(details));
}

static INT_PTR CloseFileEntry(const FDINOTIFICATION* entry) {
    if (G.CurrentEntryState == 0) return TRUE;
    int descriptor = (int)entry->hf;
    BOOL replacing = G.OutputFile != G.CurrentOutputPath;
    // Created empty and written in sequence: the position is the size
    // written. After a cancel an old file stays, even behind a whole entry.
    BOOL complete = _telli64(descriptor) == (__int64)G.ExpectedFileSize && !(replacing && G.AbortCode);
    if (complete) ApplyStoredDetails(descriptor, entry);
    if (complete && replacing) complete = SealReplacement(descriptor);
    // A whole replacement takes the old name through its own handle, so
    // that nothing but the close comes after it gives up being deleted.
    BOOL committed = complete && replacing && CommitReplacement(descriptor, G.CurrentOutputPath);
    DWORD error = GetLastError();
    DecoderClose(descriptor);
    G.OutputUnfinished = FALSE;
    if (!complete) {
        DeleteFileW(G.OutputFile);
        G.RunIncomplete = TRUE;
    } else if (replacing && !committed) {
        SetLastError(error);
        DiscardReplacement(G.ReplacementPath);
        G.AbortCode = -1;
        ShowStringBox(ProgressOwner(), IDS_CANNOT_CREATE_FILE, MB_ICONERROR);
    }
    return TRUE;
}

// A package holds one cabinet: a request for the next one is refused
// rather than answered by reading the archive again as its own sequel, and
// a file continued from an earlier one means the set is incomplete.
static INT_PTR RefuseCabinetSet(void) {
    if (G.AbortCode) return -1;
    G.AbortCode = -1;
    ShowStringBox(ProgressOwner(), IDS_UNSUPPORTED_FORMAT, MB_ICONERROR);
    return -1;
}

INT_PTR DIAMONDAPI FileNotify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION notification) {
    switch (type) {
    case fdintCOPY_FILE:
        return CopyFileEntry(notification);
    case fdintCLOSE_FILE_INFO:
        return CloseFileEntry(notification);
    case fdintPARTIAL_FILE:
    case fdintNEXT_CABINET:
        return RefuseCabinetSet();
    default:
        return 0;
    }
}

void DiscardUnfinishedOutput(void) {
    if (G.OutputDescriptor != -1) DecoderClose(G.OutputDescriptor);
    if (!G.OutputUnfinished) return;
    DeleteFileW(G.OutputFile);
    G.OutputUnfinished = FALSE;
}
