#include "extract/decoder.h"

#include <io.h>
#include <stdio.h>
#include <stdlib.h>

#include "base/file_access.h"
#include "base/messages.h"
#include "base/state.h"
#include "base/throttle.h"
#include "resource.h"
#include "ui/progress_dialog.h"

void* DIAMONDAPI DecoderAlloc(ULONG count) { return malloc(count); }

void DIAMONDAPI DecoderFree(void* block) { free(block); }

INT_PTR DIAMONDAPI DecoderOpen(char* name, int flags, int mode) {
    const WCHAR* path = G.RedirectOpenToArchive ? G.ArchivePath : (const WCHAR*)name;
    int descriptor = -1;
    FileOpen(path, flags, mode, &descriptor);
    if (descriptor == -1) return -1;
    if (G.CabinetOffset == 0 || (flags & kOpenWriteOnly)) return descriptor;

    _lseeki64(descriptor, G.CabinetOffset, SEEK_SET);
    if (G.ArchiveHandles[0] == -1)
        G.ArchiveHandles[0] = descriptor;
    else if (G.ArchiveHandles[1] == -1)
        G.ArchiveHandles[1] = descriptor;
    return descriptor;
}

UINT DIAMONDAPI DecoderRead(INT_PTR descriptor, void* buffer, UINT count) {
    if (G.AbortCode) return (UINT)-1;
    int read = _read((int)descriptor, buffer, count);
    // Counted from the start: the dialog may appear after the first blocks.
    if (read > 0) G.BytesReadTotal += read;
    HWND dialog = G.ProgressWindow;
    if (dialog && DisplayDue(&G.ProgressThrottle)) {
        if (G.UnshownName[0]) {
            SetDlgItemTextW(dialog, IDC_CURRENT_FILE, G.UnshownName);
            G.UnshownName[0] = 0;
        }
        SendMessageW(dialog, ProgressMessage, 0, (LPARAM)(G.BytesReadTotal >> 10));
    }
    return (UINT)read;
}

UINT DIAMONDAPI DecoderWrite(INT_PTR descriptor, void* buffer, UINT count) {
    if (G.AbortCode) return (UINT)-1;
    int written = G.LowLevelWrite((int)descriptor, buffer, count);
    if (written >= 0 && (UINT)written == count) return count;
    // A short write reports no error of its own (a full disk is told apart later).
    if (written >= 0) SetLastError(ERROR_WRITE_FAULT);
    // The library may ignore this result and write on (Wine's does), so the
    // failure stops it through AbortCode at its next read. A cancel that
    // came meanwhile needs no box.
    if (G.AbortCode == 0) {
        G.AbortCode = -1;
        ShowStringBox(ProgressOwner(), IDS_CANNOT_CREATE_FILE, MB_ICONERROR);
    }
    return (UINT)-1;
}

int DIAMONDAPI DecoderClose(INT_PTR descriptor) {
    if (descriptor == G.ArchiveHandles[0])
        G.ArchiveHandles[0] = -1;
    else if (descriptor == G.ArchiveHandles[1])
        G.ArchiveHandles[1] = -1;
    if (descriptor == G.OutputDescriptor) G.OutputDescriptor = -1;
    return _close((int)descriptor);
}

LONG DIAMONDAPI DecoderSeek(INT_PTR descriptor, LONG distance, int origin) {
    if (descriptor != G.ArchiveHandles[0] && descriptor != G.ArchiveHandles[1])
        return _lseek((int)descriptor, distance, origin);

    LONGLONG target = distance;
    if (origin == SEEK_SET) target += G.CabinetOffset;
    LONGLONG position = _lseeki64((int)descriptor, target, origin);
    // A failed seek, or one that lands in front of the cabinet (inside the
    // image), is a failure for the library rather than a negative position.
    if (position < G.CabinetOffset) return -1;
    return (LONG)(position - G.CabinetOffset);
}
