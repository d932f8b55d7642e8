#include "app/package.h"

#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include "base/file_access.h"
#include "base/image_end.h"
#include "base/paths.h"
#include "base/state.h"
#include "launch/wow64.h"

enum {
    kCabinetBlockBytes = 32768,
    kSignatureBytes = 8,  // "MSCF" and the four zero bytes of its reserved field
    kFolderLookupChars = 256,  // what the system folder calls are given
};

DWORD FindImageEnd(HANDLE file) {
    uint8_t probe[kImageProbeBytes];
    int read = FileRead(file, probe, sizeof(probe));
    if (read <= 0) return 0;
    return ImageEndFromBytes(probe, (size_t)read);
}

// Characters of a header text field up to its first NUL or its end.
static int FieldLength(const WCHAR* field, int capacity) {
    int length = 0;
    while (length < capacity && field[length]) length++;
    return length;
}

// A header text field that fills its whole field has no terminator. A
// command cut by a character could name another program, so it is refused
// like an over-long /E: command; the texts of the confirmation box are cut.
static void TerminateTextFields(PackageHeader* header) {
    if (FieldLength(header->command, kCommandChars) == kCommandChars) header->command[0] = 0;
    header->confirmCaption[kCaptionChars - 1] = 0;
    header->confirmPrompt[kPromptChars - 1] = 0;
}

HeaderOutcome ReadPackageHeader(HANDLE file, PackageHeader* headerCopy) {
    LONGLONG size = FileSize(file);
    DWORD imageEnd = FindImageEnd(file);
    if (size <= (LONGLONG)imageEnd + kHeaderSize) return EmptyPackage;

    if (FileSeek(file, (LONG)imageEnd, 0, FILE_BEGIN) < 0) return NoHeader;
    if (FileRead(file, headerCopy, kHeaderSize) != kHeaderSize) return NoHeader;
    if (memcmp(headerCopy->magic, kHeaderMagic, sizeof(headerCopy->magic)) != 0 ||
        headerCopy->magicLast != kHeaderMagic[7])
        return NoHeader;

    TerminateTextFields(headerCopy);
    // Without a command there is nothing to delete and nothing that needs
    // 64-bit Windows.
    if (!headerCopy->command[0]) {
        headerCopy->DeleteAfterRun = 0;
        headerCopy->variant = kVariantPlain;
    }
    return ValidHeader;
}

BOOL ApplyPackageHeader(const PackageHeader* headerCopy, const WCHAR* archivePath) {
    PackageHeader& settings = G.RunSettings;
    if (headerCopy->variant == kVariantX64) settings.variant = kVariantX64;
    BOOL privateTempFolder = ExpandDestination(settings.destination, headerCopy, archivePath);

    lstrcpynW(settings.command, headerCopy->command, kCommandChars);
    settings.OverwriteAll = headerCopy->OverwriteAll;
    settings.OpenFolderWhenDone = headerCopy->OpenFolderWhenDone;
    settings.DeleteAfterRun = headerCopy->DeleteAfterRun;
    settings.SkipDestinationDialog = headerCopy->SkipDestinationDialog;
    settings.PackageCrc = headerCopy->PackageCrc;
    lstrcpynW(settings.confirmCaption, headerCopy->confirmCaption, kCaptionChars);
    lstrcpynW(settings.confirmPrompt, headerCopy->confirmPrompt, kPromptChars);
    return privateTempFolder;
}

// A shell folder by its CSIDL; FALSE when the shell has none.
static BOOL GetShellFolder(int csidl, WCHAR* folder) {
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items))) return FALSE;
    BOOL found = SHGetPathFromIDListW(items, folder);
    IMalloc* shellMalloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellMalloc))) {
        shellMalloc->Free(items);
        shellMalloc->Release();
    }
    return found;
}

// text[0, length) equals name, exactly and case-sensitively (lstrcmpW
// would skip hyphens).
static BOOL SameText(const WCHAR* keyword, int keywordLength, const WCHAR* name) {
    return keywordLength == lstrlenW(name) && memcmp(keyword, name, keywordLength * sizeof(WCHAR)) == 0;
}

// The folder that a destination keyword names; FALSE for an unknown
// keyword or a failed lookup. folder holds MAX_PATH characters.
static BOOL LookUpKeywordFolder(const WCHAR* keyword, int keywordLength, WCHAR* folder) {
    if (SameText(keyword, keywordLength, L"Desktop")) return GetShellFolder(CSIDL_DESKTOPDIRECTORY, folder);
    if (SameText(keyword, keywordLength, L"MyDocuments")) return GetShellFolder(CSIDL_PERSONAL, folder);
    // Where the 32-bit module's files land under WOW64, for a package made
    // for it (the 64-bit module only).
    BOOL wow64 = RunsAsUnderWow64();
    if (SameText(keyword, keywordLength, L"ProgramFiles"))
        return GetShellFolder(wow64 ? CSIDL_PROGRAM_FILESX86 : CSIDL_PROGRAM_FILES, folder);

    UINT length = 0;
    if (SameText(keyword, keywordLength, L"SystemDir")) {
#ifndef _WIN64
        // A '6' package installs from the native system folder with
        // redirection off; it is extracted there through WOW64's alias of
        // that folder (the trailing backslash goes below).
        if (G.RunSettings.variant == kVariantX64) {
            length = GetWindowsDirectoryW(folder, kFolderLookupChars - kNativeAliasChars);
            lstrcatW(folder, kNativeAlias);
        } else
#endif
        length = wow64 ? GetSystemWow64DirectoryW(folder, kFolderLookupChars)
                       : GetSystemDirectoryW(folder, kFolderLookupChars);
    }
    else if (SameText(keyword, keywordLength, L"WinDir"))
        length = GetWindowsDirectoryW(folder, kFolderLookupChars);
    else if (SameText(keyword, keywordLength, L"temp"))
        length = GetTempPathW(kFolderLookupChars, folder);
    // A length of the buffer or more is the size the call would have needed.
    return length > 0 && length < kFolderLookupChars;
}

// An expansion that does not fit the destination field is refused rather
// than cut: a cut path names another folder. Nothing is written then, and
// the driver falls back to the archive's folder as for an empty entry.
BOOL ExpandDestination(WCHAR* destinationOut, const PackageHeader* header, const WCHAR* archivePath) {
    const WCHAR* source = header->destination;
    int sourceLength = FieldLength(source, kDestinationChars);
    if (sourceLength == 0) return FALSE;

    int second = 1;
    while (second < sourceLength && source[second] != L'%') second++;
    if (source[0] != L'%' || second == sourceLength) {
        if (sourceLength >= kDestinationChars) return FALSE;
        lstrcpynW(destinationOut, source, sourceLength + 1);
        return FALSE;
    }

    WCHAR folder[MAX_PATH] = L"";
    const WCHAR* keyword = source + 1;
    int keywordLength = second - 1;
    if (!LookUpKeywordFolder(keyword, keywordLength, folder)) folder[0] = 0;

    // The private folder of a package that deletes its files after the run.
    BOOL privateTempFolder = FALSE;
    if (folder[0] && header->DeleteAfterRun && SameText(source, sourceLength, L"%temp%")) {
        WCHAR programName[MAX_PATH];
        SplitPath(archivePath, nullptr, programName);
        AddTrailingBackslash(folder, MAX_PATH);
        if (lstrlenW(folder) + 1 + lstrlenW(programName) >= kDestinationChars) return FALSE;
        lstrcatW(folder, L"~");
        lstrcatW(folder, programName);
        privateTempFolder = TRUE;
    }
    RemoveTrailingBackslash(folder);

    const WCHAR* rest = source + second + 1;
    int restLength = sourceLength - second - 1;
    int folderLength = lstrlenW(folder);
    if (folderLength + restLength >= kDestinationChars) return FALSE;
    lstrcpynW(destinationOut, folder, folderLength + 1);
    lstrcpynW(destinationOut + folderLength, rest, restLength + 1);
    return privateTempFolder;
}

// Offset of the first cabinet signature in bytes[0, count), or -1. The
// signature is compared in two halves, so that the program's own image
// does not hold the eight bytes in a row and is not taken for a cabinet.
static int FindSignature(const uint8_t* bytes, int count) {
    const uint32_t kCabinetMagic = 0x4643534D;  // "MSCF" little-endian
    for (int i = 0; i + kSignatureBytes <= count; i++) {
        uint32_t first, second;
        memcpy(&first, bytes + i, 4);
        memcpy(&second, bytes + i + 4, 4);
        if (first == kCabinetMagic && second == 0) return i;
    }
    return -1;
}

LONG LocateCabinet(const WCHAR* archivePath, HANDLE file) {
    enum { kCarryBytes = kSignatureBytes - 1 };
    if (file == INVALID_HANDLE_VALUE) file = FileOpen(archivePath, kOpenBinary | kOpenSequential, kShareDenyNone, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;

    LONGLONG size = FileSize(file);
    FileSeek(file, 0, 0, FILE_BEGIN);
    G.CabinetOffset = -1;

    // The last seven bytes of a block are carried into the next test, so a
    // signature that straddles two blocks is found; each position is tested
    // once.
    uint8_t* buffer = (uint8_t*)malloc(kCarryBytes + kCabinetBlockBytes);
    if (!buffer) {
        FileClose(file);
        return -1;
    }
    LONGLONG bufferStart = 0;  // file offset of buffer[0]
    int kept = 0;
    for (;;) {
        int read = FileRead(file, buffer + kept, kCabinetBlockBytes);
        if (read <= 0) break;
        int filled = kept + read;
        int found = FindSignature(buffer, filled);
        if (found >= 0) {
            // A cabinet's offsets are 32-bit signed: one that starts beyond
            // them is none.
            if (bufferStart + found <= 0x7FFFFFFF) G.CabinetOffset = (LONG)(bufferStart + found);
            break;
        }
        kept = filled < kCarryBytes ? filled : kCarryBytes;
        memmove(buffer, buffer + filled - kept, kept);
        bufferStart += filled - kept;
    }
    free(buffer);
    FileClose(file);
    return (LONG)(DWORD)size;
}
