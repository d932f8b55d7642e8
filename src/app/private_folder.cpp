#include "app/private_folder.h"

#include <ntsecapi.h>

#include "base/package_header.h"
#include "base/paths.h"

enum {
    // Names tried after the fixed one. With 64 random bits no one makes a
    // taken one by guessing; sixteen taken in a row mean a broken source.
    kRandomNames = 16,
    kSuffixChars = 18,  // "." and 16 hex digits, and the terminator
};

// Header (owner and group left to the creator's token), then the list:
// three access-allowed entries, object and container inherit, for
// FILE_ALL_ACCESS, to OWNER RIGHTS (S-1-3-4), SYSTEM (S-1-5-18) and
// Administrators (S-1-5-32-544).
alignas(4) const BYTE kPrivateFolderSecurity[92] = {
    1, 0, 0x04, 0x90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0,  // DACL present, protected, self-relative
    2, 0, 72, 0, 3, 0, 0, 0,
    0, 3, 20, 0, 0xFF, 0x01, 0x1F, 0, 1, 1, 0, 0, 0, 0, 0, 3, 4, 0, 0, 0,
    0, 3, 20, 0, 0xFF, 0x01, 0x1F, 0, 1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,
    0, 3, 24, 0, 0xFF, 0x01, 0x1F, 0, 1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0,
};

// CreateDirectoryW fails on any name that exists, a link or a junction
// included: the folder it makes is always new, and so is everything the
// run puts inside. A taken name is never followed by a guessable one, so
// no set of folders made in advance can use up the names.
BOOL CreatePrivateFolder(WCHAR* folder) {
    // Filled field by field: an initialiser list would be a copy of a
    // template in a data section of its own, which costs the stub a file
    // block.
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = (void*)kPrivateFolderSecurity;
    RemoveTrailingBackslash(folder);
    int length = lstrlenW(folder);
    BOOL created = FALSE;
    if (length + kSuffixChars <= kDestinationChars) {
        for (int attempt = 0; attempt <= kRandomNames; attempt++) {
            if (attempt) {
                // The system's random source, advapi32's RtlGenRandom.
                DWORD random[2];
                if (!RtlGenRandom(random, sizeof(random))) break;
                wsprintfW(folder + length, L".%08X%08X", random[0], random[1]);
            }
            created = CreateDirectoryW(folder, &attributes);
            if (created || GetLastError() != ERROR_ALREADY_EXISTS) break;
        }
    }
    if (!created) folder[length] = 0;
    AddTrailingBackslash(folder, kDestinationChars);
    return created;
}
