#include "ui/progress_dialog.h"

#include <commctrl.h>

#include "base/state.h"
#include "resource.h"

// Ends the extraction phase's message loop. The window handle stays in
// G.ProgressWindow: the worker may still send to it, to no effect.
static void CloseProgressDialog(HWND dialog) {
    DestroyWindow(dialog);
    PostQuitMessage(0);
}

// GUI thread. The worker reaches this procedure only through sent messages
// (ProgressMessage, WM_CLOSE); the file name goes to control 1006 directly.
static INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        // Range and position in KiB: a 32-bit bar holds any archive size.
        G.ProgressBar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
        SendMessageW(G.ProgressBar, PBM_SETRANGE32, 0, (DWORD)lParam / 1024);
        return TRUE;
    case ProgressMessage:
        // Posted, so that the worker's send returns without a repaint.
        PostMessageW(G.ProgressBar, PBM_SETPOS, (WPARAM)lParam, 0);
        return FALSE;
    case WM_COMMAND:
        // Only a plain click on Cancel (or Esc): notification code 0.
        if (wParam != IDCANCEL) return FALSE;
        G.AbortCode = 100;
        return TRUE;
    case WM_SYSCOMMAND:
        // Close box, Alt+F4 or Close in the system menu: cancel and close at
        // once. The worker may still run; the driver waits for it.
        if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
        G.AbortCode = 100;
        CloseProgressDialog(dialog);
        return TRUE;
    case WM_CLOSE:
        CloseProgressDialog(dialog);
        return TRUE;
    }
    return FALSE;
}

// The worker, already running, sees the window only once it is drawn:
// until then its progress and names go nowhere rather than waiting for a
// thread that is busy creating the dialog.
HWND CreateProgressDialog(LONG archiveSize) {
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS), nullptr,
                                     ProgressDialogProc, (LPARAM)archiveSize);
    if (dialog) {
        ShowWindow(dialog, SW_SHOW);
        UpdateWindow(dialog);
    }
    InterlockedExchangePointer((void* volatile*)&G.ProgressWindow, dialog);
    return dialog;
}

void WaitForProgressDialog(void) {
    if (G.ProgressReady) WaitForSingleObject(G.ProgressReady, INFINITE);
}

HWND ProgressOwner(void) {
    WaitForProgressDialog();
    return G.ProgressWindow;
}
