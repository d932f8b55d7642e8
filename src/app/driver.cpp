#include "app/driver.h"

#include <shellapi.h>
#include <stdlib.h>
#include <wchar.h>

#include "app/extraction_phase.h"
#include "app/package.h"
#include "app/private_folder.h"
#include "base/file_access.h"
#include "base/folder_tree.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/state.h"
#include "base/string_list.h"
#include "check/checked_range.h"
#include "check/package_crc.h"
#include "extract/output_path.h"
#include "launch/launcher.h"
#include "launch/wow64.h"
#include "resource.h"
#include "ui/destination_dialog.h"

static void ShowErrorBox(UINT id) { ShowStringBox(nullptr, id, MB_ICONERROR); }

// Self-extract mode: reads the header behind the program's own image and
// applies it. Returns the open file for the cabinet search, or
// INVALID_HANDLE_VALUE when the run ends here (any message already shown).
static HANDLE RunHeaderStep(WCHAR* archivePath) {
    DWORD length = GetModuleFileNameW(nullptr, archivePath, MAX_PATH);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (length > 0 && length < MAX_PATH) file = FileOpen(archivePath, kOpenBinary, kShareDenyNone, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ShowErrorBox(IDS_CANNOT_OPEN_ARCHIVE);
        return INVALID_HANDLE_VALUE;
    }

    PackageHeader* headerCopy = (PackageHeader*)malloc(sizeof(PackageHeader));
    HeaderOutcome outcome = headerCopy ? ReadPackageHeader(file, headerCopy) : NoHeader;
    if (outcome == EmptyPackage) goto endQuietly;
    if (outcome == ValidHeader) {
        if (headerCopy->variant == kVariantX64 && !RunsOn64BitWindows()) {
            ShowErrorBox(IDS_NEEDS_WIN64);
            goto endQuietly;
        }
        LONGLONG headerEnd = FileTell(file);
        G.PrivateTempFolder = ApplyPackageHeader(headerCopy, archivePath);
        if (G.RunSettings.PackageCrc) {
            // A signed package's certificate table is the signer's to judge.
            LONGLONG endValue = CheckedRangeEnd(file, headerEnd, FileSize(file)) + kHeaderSize;
            DWORD crc = CheckPackageCrc(file, GetModuleHandleW(nullptr), G.RunSettings.PackageCrc, endValue,
                                        headerEnd - kHeaderSize, archivePath);
            // Unattended, a damaged package is not extracted at all.
            if (crc == 0 && (G.RunSettings.command[0] || G.QuietRun)) goto endQuietly;
            FileSeek(file, 0, 0, FILE_BEGIN);
        }
    }
    free(headerCopy);
    return file;

endQuietly:
    free(headerCopy);
    FileClose(file);
    return INVALID_HANDLE_VALUE;
}

// folder (with backslash) followed by rest into out; FALSE when it does
// not fit the destination field.
static BOOL JoinDestination(WCHAR* out, const WCHAR* folder, const WCHAR* rest) {
    int folderLength = lstrlenW(folder);
    if (folderLength + lstrlenW(rest) >= kDestinationChars) return FALSE;
    WCHAR joined[kDestinationChars];
    lstrcpynW(joined, folder, kDestinationChars);
    lstrcpynW(joined + folderLength, rest, kDestinationChars - folderLength);
    lstrcpynW(out, joined, kDestinationChars);
    return TRUE;
}

// Leading "..\" groups climb from the archive's folder. FALSE when a group
// finds no folder left to climb out of.
static BOOL ClimbDestination(WCHAR* destination) {
    WCHAR climbed[MAX_PATH];
    lstrcpynW(climbed, G.archiveFolder, MAX_PATH);
    RemoveTrailingBackslash(climbed);
    const WCHAR* rest = destination;
    const WCHAR* tail = destination;
    while (rest[0] == L'.' && rest[1] == L'.' && rest[2] == L'\\') {
        WCHAR* slash = wcsrchr(climbed, L'\\');
        if (!slash) return FALSE;
        *slash = 0;
        tail = rest + 2;
        rest += 3;
    }
    WCHAR tailCopy[kDestinationChars];
    lstrcpynW(tailCopy, tail, kDestinationChars);
    return JoinDestination(destination, climbed, tailCopy);
}

// Relative entries are taken from the archive's folder. FALSE: the entry
// can't be resolved (a failed climb, or the result would not fit).
static BOOL ResolveDestination(WCHAR* destination) {
    WCHAR entry[kDestinationChars];
    lstrcpynW(entry, destination, kDestinationChars);
    int length = lstrlenW(entry);
    BOOL hasBackslash = wcschr(entry, L'\\') != nullptr;

    if (length == 0) return JoinDestination(destination, G.archiveFolder, L"");
    if (!hasBackslash && entry[length - 1] != L':') return JoinDestination(destination, G.archiveFolder, entry);
    if (entry[0] == L'\\' && entry[1] != L'\\') return JoinDestination(destination, G.archiveFolder, entry + 1);
    if (entry[0] == L'.' && entry[1] == L'\\') return JoinDestination(destination, G.archiveFolder, entry + 2);
    if (entry[0] == L'.' && entry[1] == L'.' && entry[2] == L'\\') return ClimbDestination(destination);
    return TRUE;
}

// The destination loop: dialog, resolution, question and creation.
// Returns TRUE when the destination exists and ends with a backslash.
// privateFolder: the private folder as this run set it up; confirmed, it
// is made afresh, under the next free name if need be.
static BOOL ChooseDestination(const WCHAR* privateFolder) {
    WCHAR* destination = G.RunSettings.destination;
    BOOL restarted = FALSE;
    for (;;) {
        if (!G.RunSettings.SkipDestinationDialog && ShowDestinationDialog(G.archiveBaseName) != 1) return FALSE;
        SlashesToBackslashes(destination);
        RemoveTrailingBackslash(destination);
        // Without a dialog (or unattended, where it answers OK at once) a
        // restart takes the archive's folder as it is, so the loop always ends.
        BOOL usable = (restarted && (G.RunSettings.SkipDestinationDialog || G.QuietRun)) ||
                      (ResolveDestination(destination) && !wcspbrk(destination, L"*?\"<>|"));
        if (usable) break;
        lstrcpynW(destination, G.archiveFolder, kDestinationChars);
        restarted = TRUE;
    }
    TrimTrailingBlanks(destination);
    AddTrailingBackslash(destination, kDestinationChars);
    int length = lstrlenW(destination);
    BOOL fits = length == 0 || destination[length - 1] == L'\\';
    // Only the folder this run set up is its own, never one the user chose.
    if (lstrcmpiW(privateFolder, destination)) G.PrivateTempFolder = FALSE;

    BOOL missing = GetFileAttributesW(destination) == INVALID_FILE_ATTRIBUTES;
    if (missing || G.PrivateTempFolder) {
        if (missing && !G.RunSettings.OverwriteAll &&
            ShowFormattedBox(nullptr, IDS_CREATE_FOLDER_QUESTION, destination, kCaption, MB_ICONQUESTION | MB_OKCANCEL) !=
                IDOK)
            return FALSE;
        if (!fits || !(G.PrivateTempFolder ? CreatePrivateFolder(destination) : CreateFolderPath(destination))) {
            ShowErrorBox(IDS_CANNOT_CREATE_FOLDER);
            return FALSE;
        }
    } else if (!fits) {
        ShowErrorBox(IDS_CANNOT_CREATE_FOLDER);
        return FALSE;
    }
    return TRUE;
}

// The private folder goes whenever it is empty, also after a cabinet
// without files.
static void DeleteExtractedFiles(void) {
    for (const WCHAR* path = StringListFirst(&G.PathList); path; path = StringListNext(&G.PathList)) {
        SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path);
    }
    if (G.PrivateTempFolder) RemoveFolder(G.RunSettings.destination, FALSE);
}

// After the worker has been joined: exactly one action. FALSE when the
// extraction failed or was cancelled.
static BOOL FinishRun(int workerExitCode) {
    PackageHeader& settings = G.RunSettings;
    if (G.AbortCode != 0) return FALSE;
    // A failed extraction the user did not cancel must not look like
    // success: no command runs from an incomplete set, no folder opens.
    if (workerExitCode != 0 || G.RunIncomplete) {
        ShowErrorBox(IDS_EXTRACTION_FAILED);
        return FALSE;
    }
    if (settings.command[0]) {
        G.QuietExitCode = LaunchCommand(settings.command, settings.destination, settings.DeleteAfterRun);
        DeleteExtractedFiles();
        return TRUE;
    }
    if (settings.OpenFolderWhenDone && !G.QuietRun) {
        MessageBeep(MB_ICONASTERISK);
        ShellExecuteW(nullptr, L"open", settings.destination, nullptr, nullptr, SW_SHOWDEFAULT);
    }
    return TRUE;
}

void RunExtraction(WCHAR* archivePath) {
    if (G.commandLineRefused) {
        ShowErrorBox(IDS_CANNOT_OPEN_ARCHIVE);
        return;
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!archivePath[0]) {
        file = RunHeaderStep(archivePath);
        if (file == INVALID_HANDLE_VALUE) return;
    }

    G.ArchivePath = archivePath;
    LONG archiveSize = LocateCabinet(archivePath, file);
    if (archiveSize == -1) {
        ShowErrorBox(IDS_CANNOT_OPEN_ARCHIVE);
        return;
    }
    if (G.CabinetOffset == -1) {
        ShowErrorBox(IDS_UNSUPPORTED_FORMAT);
        return;
    }

    PackageHeader& settings = G.RunSettings;
    if (settings.confirmPrompt[0] &&
        ShowBox(nullptr, settings.confirmPrompt, settings.confirmCaption, MB_ICONQUESTION | MB_YESNO, 0) != IDYES)
        return;

    WCHAR fileName[MAX_PATH];
    SplitPath(archivePath, G.archiveFolder, fileName);
    if (!settings.destination[0]) lstrcpynW(settings.destination, G.archiveFolder, kDestinationChars);
    WCHAR* lastDot = wcsrchr(fileName, L'.');
    if (lastDot) *lastDot = 0;
    TrimTrailingBlanks(fileName);
    lstrcpynW(G.archiveBaseName, fileName, MAX_PATH);

    // The private folder as this run set it up: only that one loses its
    // empty folders after the run, never one the user chose instead.
    WCHAR privateFolder[kDestinationChars];
    lstrcpynW(privateFolder, settings.destination, kDestinationChars);
    SlashesToBackslashes(privateFolder);
    AddTrailingBackslash(privateFolder, kDestinationChars);
    if (ChooseDestination(privateFolder)) {
        // From here the list holds the extracted files only: no completion
        // candidate may be taken for one and deleted.
        StringListClear(&G.PathList);
        // A run that ends without its command takes its private folder
        // with it: until the command runs, everything in there is the
        // run's own. (A library fault ends the run in the worker's fault
        // filter, which does the same.)
        if (!FinishRun(RunExtractionPhase(archiveSize)) && G.PrivateTempFolder)
            RemoveFolder(settings.destination, TRUE);
    }
    if (StringListCount(&G.PathList)) StringListClear(&G.PathList);
    UninitializeFolderBrowser();
}
