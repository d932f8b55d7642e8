#include "extract/worker.h"

#include <io.h>

#include "base/folder_tree.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/state.h"
#include "extract/cabinet_header.h"
#include "extract/cabinet_library.h"
#include "extract/decoder.h"
#include "extract/notify.h"
#include "resource.h"
#include "ui/progress_dialog.h"

enum { kCabinetNameBytes = 128 };  // names handed to the library; they decide nothing

// The library joins the cabinet's folder and name and may refuse the
// result when it is long, though the open callback ignores both: a part
// that does not fit in ANSI is handed over empty.
static void ToLibraryName(const WCHAR* text, char* out) {
    if (!WideCharToMultiByte(CP_ACP, 0, text, -1, out, kCabinetNameBytes, nullptr, nullptr)) out[0] = 0;
}

// A fault inside the cabinet library (a damaged data block can lead a
// decoder out of its buffers) must leave no part of a file behind a stored
// name and no crash report: the file being written goes, the user learns
// that the archive is damaged, and the process ends at once, before any
// command. The C runtime's heap, which the fault may have broken, is not
// touched; an outer filter (a test harness) still hears of the fault.
static LONG WINAPI LibraryFault(EXCEPTION_POINTERS* exception) {
    if (G.OutputUnfinished) {
        CloseHandle((HANDLE)_get_osfhandle(G.OutputDescriptor));
        DeleteFileW(G.OutputFile);
        G.OutputUnfinished = FALSE;
    }
    // The run's private folder goes as on every other ending without the command.
    if (G.PrivateTempFolder) RemoveFolder(G.RunSettings.destination, TRUE);
    if (G.OuterFaultFilter) return G.OuterFaultFilter(exception);
    ShowStringBox(nullptr, IDS_EXTRACTION_FAILED, MB_ICONERROR);
    TerminateProcess(GetCurrentProcess(), G.QuietExitCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

unsigned __stdcall ExtractionWorker(void* archivePath) {
    const WCHAR* path = (const WCHAR*)archivePath;
    G.RedirectOpenToArchive = TRUE;
    int exitCode = -1;

    ERF error = {};
    HFDI context = CabCreate(DecoderAlloc, DecoderFree, DecoderOpen, DecoderRead, DecoderWrite, DecoderClose,
                             DecoderSeek, cpuUNKNOWN, &error);
    if (context) {
        WCHAR folder[MAX_PATH], name[MAX_PATH];
        SplitPath(path, folder, name);
        char cabinetFolder[kCabinetNameBytes], cabinetName[kCabinetNameBytes];
        ToLibraryName(folder, cabinetFolder);
        ToLibraryName(name, cabinetName);
        G.OuterFaultFilter = SetUnhandledExceptionFilter(LibraryFault);
        BOOL copied = CabinetHeaderUsable(path, G.CabinetOffset) &&
                      CabCopy(context, cabinetName, cabinetFolder, 0, FileNotify, nullptr, nullptr);
        SetUnhandledExceptionFilter(G.OuterFaultFilter);
        DiscardUnfinishedOutput();
        CabDestroy(context);
        // A write failure that the library carried on over is no success.
        if (copied && G.AbortCode == 0) exitCode = 0;
    }
    SendMessageW(ProgressOwner(), WM_CLOSE, 0, 0);
    return (unsigned)exitCode;
}
