// The one process-wide state record. Every shared value lives here; the
// comment on each field says who writes it and on which thread.
#pragma once

#include <windows.h>
#include <winnetwk.h>
// After windows.h, which it needs.
#include <fdi.h>

#include "base/crc32_core.h"
#include "base/package_header.h"

// Growable list of owned UTF-16 copies; the slot array is one locked block
// of the global heap, each string a C runtime heap copy.
struct StringList {
    WCHAR** entries;  // null while the list is empty
    WCHAR** cursor;   // last entry handed out by first/next; null = unset
    int capacity;     // slots in the block
    int count;        // entries in use
};

// One overwrite question, built by the notification handler on its stack.
struct OverwriteQuery {
    const WCHAR* path;
    DWORD existingStamp;  // DOS date << 16 | DOS time, local; 0 = unreadable
    DWORD incomingStamp;
    ULONGLONG existingSize;
    ULONGLONG incomingSize;
};

// Network provider functions of mpr.dll, bound by the completion popup on
// its first network text (GUI thread); closeEnum stays null until all three
// are found.
struct NetworkFunctions {
    typedef DWORD(WINAPI* OpenEnumFn)(DWORD, DWORD, DWORD, NETRESOURCEW*, HANDLE*);
    typedef DWORD(WINAPI* EnumResourceFn)(HANDLE, DWORD*, void*, DWORD*);
    typedef DWORD(WINAPI* CloseEnumFn)(HANDLE);
    HMODULE library;
    OpenEnumFn openEnum;
    EnumResourceFn enumResource;
    CloseEnumFn closeEnum;
};

// A display update that happens at most once per interval (engine).
struct Throttle {
    BOOL started;  // the first update is always due
    DWORD lastTick;
};

enum {
    kTextChars = 128,      // message texts
    kLongTextChars = 256,  // strings 16 and 18
    ProgressMessage = 1004,  // lParam: KiB read so far (below WM_USER on purpose)
};

struct GlobalState {
    // Run settings: defaults and switches (entry point, parser), then the
    // header copy and the destination (driver, dialogs). GUI thread writes
    // before the worker starts; the worker sets OverwriteAll on Yes to All.
    PackageHeader RunSettings;

    // Archive path buffer: cleared at start, filled by the parser or with the
    // program's own file name; ArchivePath points at it for the whole run.
    WCHAR ArchivePathBuffer[MAX_PATH];
    const WCHAR* ArchivePath;
    BOOL commandLineRefused;          // parser: the line, or a part of it, was too long
    // /Q: no window at all, and the exit code tells how the run ended. Not a
    // run setting, so a package header does not undo it (parser writes).
    BOOL QuietRun;
    DWORD QuietExitCode;  // the first failure's code, else the command's; 0 = none (both threads, joined)
    WCHAR archiveFolder[MAX_PATH];    // driver: folder of ArchivePath, with backslash
    WCHAR archiveBaseName[MAX_PATH];  // driver: file name without extension
    BOOL PrivateTempFolder;           // driver: destination is this run's ~<program> in %temp%
    // The job that holds the module and the command's tree, and its
    // completion port (launcher, GUI thread): null until the module joins it.
    HANDLE CommandTree;
    HANDLE CommandTreePort;

    LONG CabinetOffset;  // LocateCabinet; next-cabinet notification sets 0

    // Shared by both threads without locks: AbortCode is one aligned store.
    volatile LONG AbortCode;  // 0 running, 100 cancelled, -1 error already shown
    HWND volatile ProgressWindow;  // set once per run by the progress dialog once shown, never cleared
    HANDLE ProgressReady;     // extraction phase: signalled once the dialog is shown or has failed
    HWND ProgressBar;         // control 1004 of the progress dialog (GUI thread)
    StringList PathList;      // completion candidates, then the extracted-file list
    StringList ServerList;    // completion popup only

    // Extraction engine, worker thread only.
    BOOL RedirectOpenToArchive;  // open callback opens ArchivePath while set
    int ArchiveHandles[2];       // archive descriptors translated by CabinetOffset
    DWORD BytesReadTotal;        // bytes read by the decoder, never reset
    WCHAR CurrentOutputPath[MAX_PATH];
    WCHAR ReplacementPath[MAX_PATH];  // hidden temporary file that replaces an existing one once whole
    const WCHAR* OutputFile;          // the file being written: CurrentOutputPath or ReplacementPath
    BOOL ReplacementDeletesItself;    // the file system took ReplacementPath's delete disposition
    int CurrentEntryState;   // -1 checking/failed, 0 skipped, 1 to write, else fd
    DWORD ExpectedFileSize;  // size announced for the current entry
    BOOL NewerOnly;          // overwrite dialog's Newer button
    BOOL RunIncomplete;      // an entry's written size differed: extraction failed
    int OutputDescriptor;    // output file open now (-1 none); cleared by the close callback
    BOOL OutputUnfinished;   // output opened and its close notification not yet seen
    LPTOP_LEVEL_EXCEPTION_FILTER OuterFaultFilter;  // the one before the library's run
    WCHAR KnownOutputFolder[MAX_PATH];  // last output folder found or created this run
    Throttle ProgressThrottle;          // progress messages to ProgressWindow
    Throttle NameThrottle;              // file name in control 1006
    WCHAR UnshownName[MAX_PATH];        // the newest name, until a progress report shows it
    WCHAR WideName[1040];               // AnsiToWide result, valid until the next call
    WCHAR SystemErrorText[kLongTextChars];  // ShowSystemError result

    // Cabinet library binding (worker thread): null until loaded and bound.
    HMODULE CabinetModule;
    decltype(&FDICreate) CabinetCreate;
    decltype(&FDICopy) CabinetCopy;
    decltype(&FDIIsCabinet) CabinetIsCabinet;
    decltype(&FDIDestroy) CabinetDestroy;

    // Seams for tests, set to the real calls at start: the clock of the
    // display throttles and the low-level write of output files.
    DWORD(WINAPI* ReadClock)(void);
    int(__cdecl* LowLevelWrite)(int descriptor, const void* buffer, unsigned int count);

    // Destination dialog and completion popup, GUI thread only.
    int SuppressNextChange;  // next EN_CHANGE of the folder edit is ours
    const WCHAR* dialogBaseName;
    HWND CompletionPopup;
    HWND CompletionEdit;
    WNDPROC listBoxProc;  // the list box class's own procedure
    HHOOK keyboardHook;
    NetworkFunctions Network;
    BOOL oleInitialized;  // BrowseForFolder initialised OLE; the driver ends it

    // Package CRC check, GUI thread.
    Crc32Tables CrcTable;
    uint32_t CrcState;
    bool CrcWide;  // the fold by carry-less multiplication is available
};

extern GlobalState G;

// The fields that do not start at zero: the free descriptor slots and the
// seams. Called first by the entry point (the program has no C runtime
// start-up code, so no static initializer would run).
void SetStateDefaults(void);
