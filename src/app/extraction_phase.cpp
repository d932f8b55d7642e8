#include "extraction_phase.h"

#include <process.h>

#include "extract/worker.h"
#include "state.h"
#include "ui/progress_dialog.h"

// Ends when the progress dialog posts the quit message (its WM_CLOSE).
static void PumpMessages(void) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(G.ProgressWindow, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int RunExtractionPhase(LONG archiveSize) {
    HWND dialog = CreateProgressDialog(archiveSize);
    HANDLE worker = (HANDLE)_beginthreadex(nullptr, 0, ExtractionWorker, (void*)G.ArchivePath, 0, nullptr);
    if (!worker) {
        // Nothing else would close the dialog; the loop then takes its quit
        // message, which must not end a later message box instead.
        if (dialog) {
            SendMessageW(dialog, WM_CLOSE, 0, 0);
            PumpMessages();
        }
        return -1;
    }
    // Without a dialog nothing would end the loop: the worker's end does.
    if (dialog) PumpMessages();
    WaitForSingleObject(worker, INFINITE);
    DWORD exitCode = (DWORD)-1;
    GetExitCodeThread(worker, &exitCode);
    CloseHandle(worker);
    return (int)exitCode;
}
