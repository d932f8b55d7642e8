#include "extract/cabinet_header.h"

#include "base/file_access.h"

enum {
    kFixedHeaderBytes = 36,
    kCabinetSizeAt = 8,   // 32-bit size of the whole cabinet
    kFolderCountAt = 26,  // 16-bit counts of folders and files
    kFileCountAt = 28,
};

BOOL CabinetHeaderUsable(const WCHAR* archivePath, LONG cabinetOffset) {
    HANDLE file = FileOpen(archivePath, kOpenBinary, kShareDenyNone, nullptr);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    BYTE header[kFixedHeaderBytes];
    int read = -1;
    if (FileSeek(file, cabinetOffset, 0, FILE_BEGIN) != -1) read = FileRead(file, header, sizeof(header));
    FileClose(file);
    if (read != (int)sizeof(header)) return TRUE;
    WORD folders = (WORD)(header[kFolderCountAt] | header[kFolderCountAt + 1] << 8);
    WORD files = (WORD)(header[kFileCountAt] | header[kFileCountAt + 1] << 8);
    // The library's offsets are 32-bit signed: a larger cabinet is damaged.
    if (header[kCabinetSizeAt + 3] & 0x80) return FALSE;
    return folders != 0 || files == 0;
}
