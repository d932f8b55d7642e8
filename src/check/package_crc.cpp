#include "package_crc.h"

#include <commctrl.h>
#include <stdlib.h>

#include "../../res/resource.h"
#include "../app/file_access.h"
#include "../app/messages.h"
#include "../app/state.h"

enum {
    kCrcBlockBytes = 65536,
    kCrcProgressUnit = 102400,  // one step of the bar: 100 KiB
};

void Crc32Init(void) {
    Crc32BuildTables(G.CrcTable);
    G.CrcState = 0xFFFFFFFFu;
}

void Crc32Update(const BYTE* bytes, DWORD count) { G.CrcState = Crc32Fold(G.CrcTable, G.CrcState, bytes, count); }

// Keeps the caption-less window drawn: one queued message per block.
static void HandleOneMessage(HWND dialog) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
    if (dialog && IsDialogMessageW(dialog, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

DWORD CheckPackageCrc(HANDLE archive, HINSTANCE instance, DWORD expected, LONG endValue, LONG headerOffset,
                      const WCHAR* archivePath) {
    BYTE* block = (BYTE*)malloc(kCrcBlockBytes);
    Crc32Init();

    // No procedure of its own: the system's default dialog handling only.
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_CRC_PROGRESS), nullptr, nullptr, 0);
    HWND bar = nullptr;
    LONG range = 0;
    int barWidth = 0;
    if (dialog) {
        ShowWindow(dialog, SW_SHOW);
        UpdateWindow(dialog);
        bar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
        range = (endValue - headerOffset) / kCrcProgressUnit;
        SendMessageW(bar, PBM_SETRANGE32, 0, range);
        RECT client;
        if (GetClientRect(bar, &client)) barWidth = client.right;
    }

    // A new position is posted only when the bar's filled part would grow by
    // a pixel: the display is the same, and a large package no longer pays a
    // repaint per 100 KiB (under Wine that cost several times the CRC).
    DWORD total = 0;
    int shownPixel = 0;
    while (block) {
        int count = FileRead(archive, block, kCrcBlockBytes);
        if (count <= 0) break;
        Crc32Update(block, (DWORD)count);
        total += (DWORD)count;
        Sleep(0);
        DWORD position = total / kCrcProgressUnit;
        int pixel = range > 0 ? MulDiv((int)position, barWidth, range) : 0;
        if (bar && pixel != shownPixel) {
            PostMessageW(bar, PBM_SETPOS, position, 0);
            shownPixel = pixel;
        }
        HandleOneMessage(dialog);
    }

    free(block);
    if (dialog) DestroyWindow(dialog);

    DWORD computed = ~G.CrcState;
    G.CrcState = computed;
    if (expected == 0 || expected == computed) return computed;
    ShowFormattedBox(nullptr, IDS_CRC_ERROR, archivePath, L"Warning", MB_ICONERROR | MB_OK);
    return 0;
}
