#include "check/package_crc.h"

#include <commctrl.h>
#include <stdlib.h>

#include "base/file_access.h"
#include "base/messages.h"
#include "base/state.h"
#include "base/throttle.h"
#include "resource.h"

enum {
    kCrcBlockBytes = 65536,
    kCrcProgressUnit = 102400,  // one step of the bar: 100 KiB
};

void Crc32Init(void) {
    Crc32BuildTables(G.CrcTable);
    G.CrcWide = Crc32WideAvailable();
    G.CrcState = 0xFFFFFFFFu;
}

void Crc32Update(const BYTE* bytes, DWORD count) {
    G.CrcState = G.CrcWide ? Crc32FoldWide(G.CrcTable, G.CrcState, bytes, count)
                           : Crc32Fold(G.CrcTable, G.CrcState, bytes, count);
}

// Keeps the caption-less window drawn. Every look at the queue is a round
// trip to the window system (under Wine it cost more than the CRC of the
// block), so the queue is emptied once per display interval instead of one
// message per block: the window stays as current to the eye.
static void HandlePendingMessages(HWND dialog) {
    MSG message;
    Sleep(0);
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (dialog && IsDialogMessageW(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

static void PostPosition(HWND bar, DWORD position, LONG range, int barWidth, int* shownPixel) {
    int pixel = range > 0 ? MulDiv((int)position, barWidth, range) : 0;
    if (!bar || pixel == *shownPixel) return;
    PostMessageW(bar, PBM_SETPOS, position, 0);
    *shownPixel = pixel;
}

DWORD CheckPackageCrc(HANDLE archive, HINSTANCE instance, DWORD expected, LONGLONG endValue, LONGLONG headerOffset,
                      const WCHAR* archivePath) {
    BYTE* block = (BYTE*)malloc(kCrcBlockBytes);
    Crc32Init();

    // No procedure of its own: the system's default dialog handling only.
    // Nor any window in an unattended run.
    HWND dialog =
        G.QuietRun ? nullptr : CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_CRC_PROGRESS), nullptr, nullptr, 0);
    HWND bar = nullptr;
    LONG range = 0;
    int barWidth = 0;
    if (dialog) {
        ShowWindow(dialog, SW_SHOW);
        UpdateWindow(dialog);
        bar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
        // Below 4 GiB: a cabinet holds at most 2 GiB. No 64-bit division in
        // a 32-bit program: it would bring in a run-time library routine.
        range = (LONG)((DWORD)(endValue - headerOffset) / kCrcProgressUnit);
        SendMessageW(bar, PBM_SETRANGE32, 0, range);
        RECT client;
        if (GetClientRect(bar, &client)) barWidth = client.right;
    }

    // The bar is brought up to date once per display interval, and then
    // only when its filled part would grow by a pixel: under Wine every
    // position the bar takes costs a repaint, several times the CRC of the
    // blocks read meanwhile. The last position is shown at the end.
    DWORD total = 0;
    int shownPixel = 0;
    Throttle pump = {};
    LONGLONG remaining = endValue - kHeaderSize - FileTell(archive);
    while (block && remaining > 0) {
        int count = FileRead(archive, block, remaining < kCrcBlockBytes ? (DWORD)remaining : (DWORD)kCrcBlockBytes);
        if (count <= 0) break;
        remaining -= count;
        Crc32Update(block, (DWORD)count);
        total += (DWORD)count;
        if (!DisplayDue(&pump)) continue;
        PostPosition(bar, total / kCrcProgressUnit, range, barWidth, &shownPixel);
        HandlePendingMessages(dialog);
    }
    PostPosition(bar, total / kCrcProgressUnit, range, barWidth, &shownPixel);
    HandlePendingMessages(dialog);

    free(block);
    if (dialog) DestroyWindow(dialog);

    DWORD computed = ~G.CrcState;
    G.CrcState = computed;
    if (expected == 0 || expected == computed) return computed;
    ShowFormattedBox(nullptr, IDS_CRC_ERROR, archivePath, L"Warning", MB_ICONERROR | MB_OK);
    return 0;
}
