// One run of the module as a user sees it: the program started as a child
// process, its message boxes and dialogs found by caption, read and
// answered through the GUI driver, and its end awaited with a time-out.
// A box that nobody expected fails the test at once with its text, and
// the child is killed whenever a test gives up on it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/package_header.h"
#include "support/cab_writer.h"
#include "support/gui_driver.h"
#include "support/window_watcher.h"

// The module's exit code, the parser's result: -1 without arguments, 1 when
// the named archive was found, 0 when not.
constexpr DWORD SelfExtractExitCode = (DWORD)-1;
constexpr DWORD ArchiveFound = 1;
constexpr DWORD ArchiveNotFound = 0;

// A path in quotes, as the module's command line takes it.
std::wstring Quoted(const std::wstring& text);

// Captions of the module's windows in the language the test runs in.
struct Captions {
    std::wstring progress;     // progress dialog
    std::wstring destination;  // destination dialog
    std::wstring overwrite;    // overwrite dialog
};
extern const Captions English;
extern const Captions Japanese;

class ModuleRun {
public:
    explicit ModuleRun(const Captions& captions = English) : captions_(captions) {}

    // Starts program (a Windows path) with arguments after its quoted name.
    bool Start(const std::wstring& program, const std::wstring& arguments = L"");
    // The same, with every window that its process creates or shows
    // recorded from its first instruction on (WatchedWindows).
    bool StartWatched(const std::wstring& program, const std::wstring& arguments = L"");
    std::vector<std::wstring> WatchedWindows() { return watcher_.Seen(); }

    // Waits for a dialog or message box of the module with this caption.
    // Any other box that comes up meanwhile (not the progress dialog or the
    // caption-less CRC window) fails the test with its caption and text.
    HWND WaitFor(const std::wstring& caption, DWORD timeoutMs = DefaultWaitMs);
    // The same for a window that a quick run may close before anyone sees
    // it (the progress dialog of a short extraction): null, and no failure,
    // when the module ends first.
    HWND WaitForUnlessEnded(const std::wstring& caption, DWORD timeoutMs = DefaultWaitMs);
    // Waits for a message box, returns its text and presses button (IDOK,
    // IDYES, ...); the text is empty when no box came (then the test has
    // already failed).
    std::wstring Answer(const std::wstring& caption, int button);
    // Waits for the module's end and returns its exit code; fails the test
    // and kills the module on a box that nobody answers or on a time-out.
    DWORD WaitForEnd(DWORD timeoutMs = 30000);
    // Dialogs and boxes of the module that are up now (visible, top-level).
    std::vector<HWND> OpenWindows() const;

    DWORD Id() const { return child_.Id(); }

private:
    HWND Await(const std::wstring& caption, DWORD timeoutMs, bool endIsFailure);
    bool Tolerated(const std::wstring& title, const std::wstring& expected) const;
    // Fails the test with the caption and text of the first unexpected box.
    bool ReportUnexpected(const std::wstring& expected);

    Captions captions_;
    WindowWatcher watcher_;
    ChildProcess child_;  // after the watcher: killed before the hook goes
};

// What the sample setup program recorded about its start.
struct SetupRecord {
    bool present = false;
    bool done = false;  // the program has ended
    std::wstring commandLine;
    std::wstring folder;  // working folder
    std::vector<std::wstring> files;  // files below it at start, sorted
};

// How long the sample setup program stays in the tests. It must outlive
// the module's first look at it (input idle and 100 ms later) with room to
// spare on a busy machine: the module then waits for its end and looks for
// installer windows for about two seconds, not the thirty it gives a
// program that had already ended.
constexpr int SetupLifeMs = 1000;

// Points the sample setup program of the next runs at recordPath and makes
// it leave extra (relative to its folder; none when empty).
void PrepareSetup(const std::wstring& recordPath, const std::wstring& extra);
SetupRecord ReadSetupRecord(const std::wstring& recordPath);
// Removes the folder that the setup program ran from. Its record's end is
// written just before it exits, and its program file can be deleted only
// once its process is gone: false if that did not happen in time.
bool RemoveCommandFolder(const std::wstring& folder);

std::wstring WithoutTrailingBackslash(std::wstring path);

// Files made at build time (tests/e2e in the build folder).
std::wstring FixturePath(const std::string& name);
// A package of files followed by the sample setup program as its command,
// extracted into destination without a dialog, over what is there.
std::vector<unsigned char> CommandPackage(std::vector<CabFile> files, const std::wstring& destination);
// The cabinet inside a package: every byte from its signature on.
std::vector<unsigned char> CabinetOf(const std::vector<unsigned char>& package);

// Header settings of a package made by MakePackage.
struct PackageOptions {
    std::wstring destination = L"out";
    std::wstring command;
    bool deleteAfterRun = false;
    char variant = kVariantPlain;
    bool crc = false;  // PackageCrc set to the CRC of the cabinet
};
// A package of the sample's cabinet (or of cabinet) that extracts into its
// destination ("out" beside itself unless the options say otherwise)
// without a dialog or a question.
std::vector<unsigned char> MakePackage(const PackageOptions& options, std::vector<unsigned char> cabinet = {});

// The files of the sample package, relative, sorted.
extern const std::vector<std::wstring> SamplePayload;
// The files and folders that extracting the sample package leaves in an
// empty folder (ListTree form).
extern const std::vector<std::wstring> SampleTree;

// "%TEMP%\~name\": where a package named name with %temp% and a command
// that deletes its files puts them.
std::wstring PrivateFolder(const std::wstring& programName);

// Windows of other processes whose title is title (such as the folder
// window the shell opens), closed and awaited.
std::vector<HWND> FindForeignWindows(const std::wstring& title);
bool CloseForeignWindow(HWND window);
