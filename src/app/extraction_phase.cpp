#include "app/extraction_phase.h"

#include <process.h>

#include "base/state.h"
#include "extract/worker.h"
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

// The worker starts first: creating and drawing the dialog takes about as
// long as the library needs for tens of megabytes, and the extraction need
// not wait for it. The worker's closing message waits for the dialog.
int RunExtractionPhase(LONG archiveSize) {
    G.ProgressReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!G.ProgressReady) return -1;
    HANDLE worker = (HANDLE)_beginthreadex(nullptr, 0, ExtractionWorker, (void*)G.ArchivePath, 0, nullptr);
    if (!worker) {
        CloseHandle(G.ProgressReady);
        G.ProgressReady = nullptr;
        return -1;
    }
    // An unattended run shows no dialog and simply waits for the worker.
    HWND dialog = G.QuietRun ? nullptr : CreateProgressDialog(archiveSize);
    SetEvent(G.ProgressReady);
    // Without a dialog nothing would end the loop: the worker's end does.
    if (dialog) PumpMessages();
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(G.ProgressReady);
    G.ProgressReady = nullptr;
    DWORD exitCode = (DWORD)-1;
    GetExitCodeThread(worker, &exitCode);
    CloseHandle(worker);
    return (int)exitCode;
}
