// The command launcher under Wine: the stand-in setup program started
// through the real shell, ".inf" scripts through the real setup library.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/state.h"
#include "launch/launcher.h"
#include "support/answer_box.h"
#include "support/gui_driver.h"
#include "support/import_patch.h"
#include "support/launch/launch_fixture.h"
#include "support/test_files.h"

static std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

static bool SamePath(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(WithoutTrailingBackslash(a).c_str(), WithoutTrailingBackslash(b).c_str()) == 0;
}

// The file ends at the first program type followed by a blank or the end:
// ".exe" as always, the other types of the system's list and the
// installer's packages alike.
TEST(SplitParameters, FileEndsAtTheFirstProgramTypeFollowedByABlankOrTheEnd) {
    struct Row {
        const wchar_t* command;
        const wchar_t* file;
        const wchar_t* parameters;  // null: none split off
    } rows[] = {
        {L"setup.exe /s", L"setup.exe", L"/s"},
        {L"SETUP.EXE", L"SETUP.EXE", L""},
        {L"SeTuP.eXe", L"SeTuP.eXe", L""},
        {L"tool.exe /log=out.txt", L"tool.exe", L"/log=out.txt"},
        {L"run.exec", L"run.exec", nullptr},
        {L"readme.txt", L"readme.txt", nullptr},
        {L"setup.msi", L"setup.msi", L""},
        {L"setup.msi /l*v log.txt", L"setup.msi", L"/l*v log.txt"},
        {L"fix.MSP /qb", L"fix.MSP", L"/qb"},
        {L"install.cmd /quiet", L"install.cmd", L"/quiet"},
        {L"my setup.cmd /quiet", L"my setup.cmd", L"/quiet"},
        {L"fail.bat", L"fail.bat", L""},
        {L"tool.com -x", L"tool.com", L"-x"},
        {L"run.js a b", L"run.js", L"a b"},
        {L"run.jsx a b", L"run.jsx a b", nullptr},
        {L"readme.txt /q", L"readme.txt /q", nullptr},
        {L"setup.inf /q", L"setup.inf /q", nullptr},
        {L"a.cmd.txt /q", L"a.cmd.txt /q", nullptr},
        {L"tools.cmd\\run.bat x", L"tools.cmd\\run.bat", L"x"},
        {L"setup", L"setup", nullptr},
        {L"a.exe.txt", L"a.exe.txt", nullptr},
        {L"tools.exe\\setup.exe /q", L"tools.exe\\setup.exe", L"/q"},
        {L"my.exe dir\\b.exe /q", L"my.exe", L"dir\\b.exe /q"},
        {L"setup.exe  /a /b", L"setup.exe", L" /a /b"},
        {L"setup.exe ", L"setup.exe", L""},
        {L".exe", L".exe", L""},
        {L"x.ex", L"x.ex", nullptr},
        {L"", L"", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.command));
        WCHAR command[64];
        lstrcpynW(command, row.command, ARRAYSIZE(command));
        WCHAR* parameters = SplitParameters(command);
        EXPECT_STREQ(row.file, command);
        if (row.parameters)
            EXPECT_STREQ(row.parameters, parameters);
        else
            EXPECT_EQ(nullptr, parameters);
    }
}

// The system's list decides, in any case; without one, the types that
// every system runs.
TEST(SplitParameters, ProgramTypesComeFromTheSystemsList) {
    WCHAR saved[512] = L"";
    DWORD savedLength = GetEnvironmentVariableW(L"PATHEXT", saved, ARRAYSIZE(saved));
    const struct {
        const wchar_t* list;  // null: no PATHEXT
        const wchar_t* command;
        const wchar_t* parameters;
    } rows[] = {
        {L".exe;.Tool", L"a.TOOL /x", L"/x"},  {L".exe;.Tool", L"a.cmd /x", nullptr},
        {L".exe;.Tool", L"a.msi /x", L"/x"},   {L".exe;.Tool", L"a.too /x", nullptr},
        {L".exe;.Tool", L"a.tools /x", nullptr}, {nullptr, L"a.com /x", L"/x"},
        {nullptr, L"a.cmd /x", L"/x"},         {nullptr, L"a.tool /x", nullptr},
        {nullptr, L"a.wsf /x", nullptr},       {L".exe;.Tool", L"a.tool;x /x", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.list ? row.list : L"(none)") + " " + Narrow(row.command));
        SetEnvironmentVariableW(L"PATHEXT", row.list);
        WCHAR command[64];
        lstrcpynW(command, row.command, ARRAYSIZE(command));
        WCHAR* parameters = SplitParameters(command);
        if (row.parameters)
            EXPECT_STREQ(row.parameters, parameters);
        else
            EXPECT_EQ(nullptr, parameters);
    }
    SetEnvironmentVariableW(L"PATHEXT", savedLength ? saved : nullptr);
}

class Launch : public ::testing::Test {
protected:
    void SetUp() override { SetEnvironmentVariableW(L"VUV_HELPER_RECORD", record.c_str()); }
    void TearDown() override {
        HelperRecord started = ReadHelperRecord(record);
        if (started.present) WaitForProcessEnd(started.processId);
    }

    TempFolder temp;
    std::wstring record = temp / L"record.txt";
    std::wstring done = record + L".done";
};

TEST_F(Launch, ExeCommandsRunWithTheirParametersFromTheirFolder) {
    struct Row {
        const wchar_t* destination;  // below the temporary folder
        const wchar_t* program;      // below the destination
        const wchar_t* command;
        const wchar_t* parameters;
        const wchar_t* folder;  // working folder below the destination
    } rows[] = {
        {L"T\\", L"setup.exe", L"setup.exe /s", L"/s", L""},
        {L"T\\", L"SETUP.EXE", L"SETUP.EXE", L"", L""},
        {L"My.Files\\", L"tool.exe", L"tool.exe /log=out.txt", L"/log=out.txt", L""},
        {L"T\\", L"sub\\setup.exe", L"sub\\setup.exe /s", L"/s", L"sub"},
        {L"T\\", L"setup.exe", L"setup.exe /log=C:\\logs\\setup.log", L"/log=C:\\logs\\setup.log", L""},
        {L"my.exe tools\\", L"setup.exe", L"setup.exe /q", L"/q", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.command));
        TempFolder base;
        std::wstring destination = base / row.destination;
        CreateDirectoryW(destination.c_str(), nullptr);
        PlaceHelper(destination + row.program);
        DeleteFileW(record.c_str());

        LaunchCommand(row.command, destination.c_str(), FALSE);

        HelperRecord started = ReadHelperRecord(record);
        ASSERT_TRUE(started.present);
        EXPECT_TRUE(SamePath(destination + row.program, ProgramOf(started.commandLine))) << Narrow(started.commandLine);
        EXPECT_EQ(row.parameters, ParametersOf(started.commandLine));
        EXPECT_TRUE(SamePath(destination + row.folder, started.folder)) << Narrow(started.folder);
        WaitForProcessEnd(started.processId);
    }
}

// Counts the probes for an installer window (each one follows a Sleep(10)).
static VOID(WINAPI* realSleep)(DWORD);
static int probeSleeps;
static VOID WINAPI CountingSleep(DWORD milliseconds) {
    if (milliseconds == 10) probeSleeps++;
    realSleep(milliseconds);
}

static void CountProbes() {
    realSleep = (VOID(WINAPI*)(DWORD))(void*)GetProcAddress(GetModuleHandleW(L"kernel32"), "Sleep");
    ASSERT_GT(PatchImports((void*)realSleep, (void*)CountingSleep), 0);
}

TEST_F(Launch, WithoutTheWaitFlagReturnsWhileTheProgramStillRuns) {
    PlaceHelper(temp / L"setup.exe");
    SetEnvironmentVariableW(L"VUV_HELPER_LIFE", L"4000");

    LaunchCommand(L"setup.exe", temp.path().c_str(), FALSE);

    ASSERT_TRUE(ReadHelperRecord(record).present);
    EXPECT_FALSE(FileExists(done));
}

TEST_F(Launch, WithTheWaitFlagReturnsAfterTheProgramHasEnded) {
    CountProbes();
    PlaceHelper(temp / L"setup.exe");
    SetEnvironmentVariableW(L"VUV_HELPER_LIFE", L"1500");

    LaunchCommand(L"setup.exe", temp.path().c_str(), TRUE);

    EXPECT_TRUE(FileExists(done));
    // Still running at the exit-code check: the short search for a window.
    EXPECT_EQ(200, probeSleeps);
}

// A front end hands over and ends at once; what it starts is waited for
// as part of its tree, also past the search for a window (~3 s) that
// would have ended the wait without the tree. A silent program never
// reaches input idle (under Wine the wait for it returns only at its end,
// as if it had ended at once). Both get the short search after the tree.
TEST_F(Launch, WaitsForTheWholeTreeThenSearchesBrieflyForAWindow) {
    CountProbes();
    const struct {
        const wchar_t* mode;
        const wchar_t* life;  // of the program started last
    } rows[] = {{L"VUV_HELPER_SPAWN", L"5000"}, {L"VUV_HELPER_SILENT", L"1500"}};
    for (const auto& row : rows) {
        const wchar_t* mode = row.mode;
        SCOPED_TRACE(Narrow(mode));
        probeSleeps = 0;
        DeleteFileW(done.c_str());
        PlaceHelper(temp / L"setup.exe");
        SetEnvironmentVariableW(mode, L"1");
        SetEnvironmentVariableW(L"VUV_HELPER_LIFE", row.life);

        LaunchCommand(L"setup.exe", temp.path().c_str(), TRUE);
        SetEnvironmentVariableW(mode, nullptr);

        EXPECT_TRUE(FileExists(done)) << "returned before the tree had ended";
        EXPECT_EQ(200, probeSleeps);
        WaitForProcessEnd(ReadHelperRecord(record).processId);
    }
}

// The installer window of a program outside the tree (it broke away, as
// an installed application does) is still waited for until it goes.
TEST_F(Launch, WaitsUntilTheInstallerWindowLeftBehindHasGone) {
    CountProbes();
    PlaceHelper(temp / L"setup.exe");
    SetEnvironmentVariableW(L"VUV_HELPER_SPAWN", L"1");
    SetEnvironmentVariableW(L"VUV_HELPER_BREAKAWAY", L"1");
    SetEnvironmentVariableW(L"VUV_HELPER_CLASS", L"MsiDialogCloseClass");
    SetEnvironmentVariableW(L"VUV_HELPER_LIFE", L"3000");

    LaunchCommand(L"setup.exe", temp.path().c_str(), TRUE);

    EXPECT_TRUE(FileExists(done));
    EXPECT_EQ(nullptr, FindWindowW(L"MsiDialogCloseClass", nullptr));
    EXPECT_GT(probeSleeps, 0);
    EXPECT_LT(probeSleeps, 200);  // returned on the window's end, not the budget's
}

static BOOL WINAPI RefusedAssignment(HANDLE, HANDLE) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// The one test of the long search: where the module can't join a job (as
// in a job that takes no nested one), about 30 s after a program that
// ended at once, as without the tree.
TEST_F(Launch, WithoutAJobGivesUpAfterTheLongSearchForAnInstallerWindow) {
    CountProbes();
    void* assign = (void*)GetProcAddress(GetModuleHandleW(L"kernel32"), "AssignProcessToJobObject");
    ASSERT_GT(PatchImports(assign, (void*)RefusedAssignment), 0);
    G.CommandTree = G.CommandTreePort = nullptr;
    PlaceHelper(temp / L"setup.exe");

    LaunchCommand(L"setup.exe", temp.path().c_str(), TRUE);

    EXPECT_TRUE(FileExists(done));
    EXPECT_EQ(3000, probeSleeps);
    EXPECT_EQ(nullptr, G.CommandTreePort);
}

TEST(FindInstallerWindow, FindsTheFirstKindInOrderAndNamesOnlyWhatMatched) {
    struct Row {
        const wchar_t* classes[2];  // windows of these classes are created...
        const wchar_t* titles[2];   // ...and windows with these titles
        const wchar_t* className;   // expected in the buffers afterwards
        const wchar_t* title;
    } rows[] = {
        {{}, {}, L"", L""},
        {{L"MsiDialogCloseClass"}, {}, L"MsiDialogCloseClass", L""},
        {{L"InstallShield_Win"}, {}, L"InstallShield_Win", L""},
        {{}, {L"Setup"}, L"", L"Setup"},
        {{}, {L"Setup Wizard", L"setup "}, L"", L""},
        {{L"InstallShield_Win", L"MsiDialogCloseClass"}, {L"Setup"}, L"MsiDialogCloseClass", L""},
        {{L"InstallShield_Win"}, {L"Setup"}, L"InstallShield_Win", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.className) + "|" + Narrow(row.title));
        std::vector<HWND> windows;
        HWND expected = nullptr;
        for (const wchar_t* name : row.classes) {
            if (!name) continue;
            WNDCLASSW windowClass = {};
            windowClass.lpfnWndProc = DefWindowProcW;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = name;
            RegisterClassW(&windowClass);
            windows.push_back(CreateWindowW(name, L"", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                            GetModuleHandleW(nullptr), nullptr));
            if (!lstrcmpW(name, row.className)) expected = windows.back();
        }
        for (const wchar_t* title : row.titles) {
            if (!title) continue;
            windows.push_back(CreateWindowW(L"STATIC", title, WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                            GetModuleHandleW(nullptr), nullptr));
            if (!lstrcmpW(title, row.title)) expected = windows.back();
        }
        for (HWND window : windows) ASSERT_NE(nullptr, window);

        WCHAR className[kInstallerNameChars] = L"stale";
        WCHAR title[kInstallerNameChars] = L"stale";
        EXPECT_EQ(expected, FindInstallerWindow(className, title));
        EXPECT_STREQ(row.className, className);
        EXPECT_STREQ(row.title, title);
        for (HWND window : windows) DestroyWindow(window);
    }
}

// Wine's prefix knows the text-file class (the editor) but maps no
// extension to it; the test maps ".txt" while it runs (a mapping among the
// user's own classes is not seen by Wine 8's shell).
class TextFileAssociation {
public:
    TextFileAssociation() {
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, &disposition))
            return;
        created_ = disposition == REG_CREATED_NEW_KEY;
        if (created_) RegSetValueExW(key, nullptr, 0, REG_SZ, (const BYTE*)L"txtfile", sizeof(L"txtfile"));
        RegCloseKey(key);
    }
    ~TextFileAssociation() {
        if (created_) RegDeleteKeyW(HKEY_CLASSES_ROOT, kKey);
    }

private:
    static constexpr const wchar_t* kKey = L".txt";
    bool created_ = false;
};

TEST_F(Launch, ATextFileOpensThroughTheShell) {
    TextFileAssociation association;
    WriteBytes(temp / L"readme.txt", std::string("read me\r\n"));

    LaunchCommand(L"readme.txt", temp.path().c_str(), FALSE);

    // The editor's window exists before it has loaded the file and named it;
    // only this test's editor shows the file's name.
    WindowQuery query;
    query.className = L"Notepad";
    query.titlePart = L"readme";
    HWND editor = WaitForWindow(query, 20000);
    ASSERT_NE(nullptr, editor) << DescribeInputState("no-editor", nullptr);
    DWORD editorProcess = 0;
    GetWindowThreadProcessId(editor, &editorProcess);
    ChildProcess notepad;
    ASSERT_TRUE(notepad.Adopt(editorProcess));
    PostMessageW(editor, WM_CLOSE, 0, 0);
    DWORD exitCode = 0;
    EXPECT_TRUE(notepad.WaitForExit(20000, &exitCode));
}

TEST_F(Launch, InfScriptsInstallThroughTheSetupLibraryBeforeItReturns) {
    struct Row {
        const wchar_t* script;  // below the destination
        const wchar_t* command;
        BOOL waitFlag;
    } rows[] = {
        {L"setup.inf", L"setup.inf", FALSE},
        {L"setup.inf", L"setup.inf", TRUE},
        {L"drv\\SETUP.INF", L"drv\\SETUP.INF", FALSE},
        {L"Setup.Inf", L"Setup.Inf", FALSE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.command));
        TempFolder destination;
        std::wstring script = destination / row.script;
        WriteInfScript(script, "01,copied", "payload.txt");

        LaunchCommand(row.command, destination.path().c_str(), row.waitFlag);

        std::wstring folder = script.substr(0, script.find_last_of(L'\\') + 1);
        EXPECT_TRUE(FileExists(folder + L"copied\\payload.txt"));
    }
}

static BOOL(WINAPI* realCreateProcessW)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                                        LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
static std::vector<std::wstring> startedPrograms, startedCommandLines, startedFolders, startedScriptVariables;
static std::vector<DWORD> startedFlags;
static BOOL WINAPI RecordingCreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES process,
                                           LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags, LPVOID environment,
                                           LPCWSTR folder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION information) {
    startedPrograms.push_back(application ? application : L"(null)");
    startedCommandLines.push_back(commandLine ? commandLine : L"(null)");
    startedFolders.push_back(folder ? folder : L"(null)");
    startedFlags.push_back(flags);
    WCHAR variable[MAX_PATH] = L"(none)";
    GetEnvironmentVariableW(L"VUVUZU_SCRIPT", variable, MAX_PATH);
    startedScriptVariables.push_back(variable);
    return realCreateProcessW(application, commandLine, process, thread, inherit, flags, environment, folder, startup,
                              information);
}

static void RecordProcessStarts() {
    realCreateProcessW = (decltype(realCreateProcessW))(void*)GetProcAddress(GetModuleHandleW(L"kernel32"),
                                                                             "CreateProcessW");
    ASSERT_GT(PatchImports((void*)realCreateProcessW, (void*)RecordingCreateProcessW), 0);
}

// The rundll32 of the system folder that fits the package: the 32-bit
// module always starts its own system folder's (the native one for a '6'
// package, with redirection off); the 64-bit module starts the WOW64 one
// for a package made for the 32-bit module, as that module would.
TEST_F(Launch, InfScriptRunsTheSystemsRundll32ByFullPathWithTheShortPath) {
    RecordProcessStarts();
    std::wstring script = temp / L"drv\\Long Script Name.inf";
    WriteInfScript(script, "01,copied", "payload.txt");
    WCHAR system[MAX_PATH], wow64System[MAX_PATH], shortPath[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_NE(0u, GetSystemWow64DirectoryW(wow64System, MAX_PATH));
    ASSERT_NE(0u, GetShortPathNameW(script.c_str(), shortPath, MAX_PATH));
#ifdef _WIN64
    const wchar_t* plainFolder = wow64System;
#else
    const wchar_t* plainFolder = system;
#endif
    const struct {
        char variant;
        const wchar_t* folder;
    } rows[] = {{kVariantPlain, plainFolder}, {kVariantX64, system}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.variant);
        G.RunSettings.variant = row.variant;
        startedPrograms.clear();
        startedCommandLines.clear();
        startedFolders.clear();
        RemoveTree(temp / L"drv\\copied");

        LaunchCommand(L"drv\\Long Script Name.inf", temp.path().c_str(), FALSE);

        ASSERT_EQ(1u, startedPrograms.size());
        EXPECT_TRUE(SamePath(std::wstring(row.folder) + L"\\rundll32.exe", startedPrograms[0]))
            << Narrow(startedPrograms[0]);
        EXPECT_EQ(L"rundll32.exe setupapi,InstallHinfSection DefaultInstall 132 " + std::wstring(shortPath),
                  startedCommandLines[0]);
        EXPECT_TRUE(SamePath(temp / L"drv\\", startedFolders[0])) << Narrow(startedFolders[0]);
        EXPECT_TRUE(FileExists(temp / L"drv\\copied\\payload.txt"));
    }
}

TEST_F(Launch, InfScriptThatIsMissingStartsNothing) {
#ifndef _WIN64
    // Under WOW64 the probe tells the two views apart, so the checks of the
    // redirection below can fail; in a 64-bit process they can't.
    PVOID redirection = nullptr;
    ASSERT_TRUE(Wow64DisableWow64FsRedirection(&redirection));
    WORD native = SystemKernelMachine();
    Wow64RevertWow64FsRedirection(redirection);
    ASSERT_NE(kRedirectedKernelMachine, native);
#endif
    RecordProcessStarts();
    for (char variant : {kVariantPlain, kVariantX64}) {
        G.RunSettings.variant = variant;
        LaunchCommand(L"missing.inf", temp.path().c_str(), TRUE);
        EXPECT_TRUE(startedPrograms.empty());
        EXPECT_EQ(kRedirectedKernelMachine, SystemKernelMachine());  // redirection on again
    }
}

// Unattended (/Q): the setup library's mode that neither asks nor restarts
// (128), and 0 once rundll32 ran; a command that can't be started gives
// its error, and the shell shows no box of its own.
TEST_F(Launch, QuietRunsInstallWithoutQuestionsAndReportWhatKeptACommandFromStarting) {
    RecordProcessStarts();
    WriteInfScript(temp / L"setup.inf", "01,copied", "payload.txt");
    G.QuietRun = TRUE;
    DWORD installed = LaunchCommand(L"setup.inf", temp.path().c_str(), FALSE);
    DWORD missingScript = LaunchCommand(L"missing.inf", temp.path().c_str(), FALSE);
    DWORD missingFile = 0;
    AnsweredBox box = AnswerBoxDuring(L"", [&] { missingFile = LaunchCommand(L"run.exec", temp.path().c_str(), FALSE); });
    G.QuietRun = FALSE;

    EXPECT_EQ(0u, installed);
    ASSERT_EQ(1u, startedCommandLines.size());
    EXPECT_NE(std::wstring::npos, startedCommandLines[0].find(L" DefaultInstall 128 ")) << Narrow(startedCommandLines[0]);
    EXPECT_TRUE(FileExists(temp / L"copied\\payload.txt"));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, missingScript);
    EXPECT_FALSE(box.shown) << Narrow(box.text);
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, missingFile);
}

// Whether a file of the native system folder exists, and removes it: a
// 32-bit process looks with its redirection off.
static bool TakeNativeFile(const std::wstring& path) {
#ifndef _WIN64
    PVOID redirection = nullptr;
    if (!Wow64DisableWow64FsRedirection(&redirection)) ADD_FAILURE() << "redirection stays on";
#endif
    bool exists = FileExists(path);
    DeleteFileW(path.c_str());
#ifndef _WIN64
    Wow64RevertWow64FsRedirection(redirection);
#endif
    return exists;
}

// A '6' package's script installs into the native system folder (the
// 32-bit module turns redirection off around rundll32, the 64-bit module
// needs nothing); any other package's into the WOW64 one, where the 32-bit
// module's rundll32 under WOW64 puts it, from either module.
TEST_F(Launch, InfScriptInstallsIntoTheSystemFolderOfThePackagesKind) {
    struct Row {
        char variant;
        bool nativeFolder;
    } rows[] = {{kVariantX64, true}, {kVariantPlain, false}};
    WCHAR system[MAX_PATH], wow64System[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_NE(0u, GetSystemWow64DirectoryW(wow64System, MAX_PATH));
    std::string payload = "vuv-launch-" + std::to_string(GetCurrentProcessId()) + ".txt";
    std::wstring nativeCopy = std::wstring(system) + L"\\" + Widen(payload);
    std::wstring wow64Copy = std::wstring(wow64System) + L"\\" + Widen(payload);

    for (const Row& row : rows) {
        SCOPED_TRACE(row.variant);
        G.RunSettings.variant = row.variant;
        WriteInfScript(temp / L"setup.inf", "11", payload);

        LaunchCommand(L"setup.inf", temp.path().c_str(), FALSE);

        EXPECT_EQ(kRedirectedKernelMachine, SystemKernelMachine());  // redirection on again
        bool wow64 = FileExists(wow64Copy);
        DeleteFileW(wow64Copy.c_str());
        EXPECT_EQ(row.nativeFolder, TakeNativeFile(nativeCopy));
        EXPECT_EQ(!row.nativeFolder, wow64);
    }
}

// Not an ".exe" followed by a blank or the end: the whole text is the file.
// run.exe beside it is not run; the shell reports the missing file itself
// (Wine: "File not found.").
TEST_F(Launch, RunExecIsAFileOfItsOwn) {
    PlaceHelper(temp / L"run.exe");

    AnsweredBox box = AnswerBoxDuring(L"", [&] { LaunchCommand(L"run.exec", temp.path().c_str(), FALSE); });

    EXPECT_TRUE(box.shown);
    EXPECT_FALSE(ReadHelperRecord(record).present);
}

// ".inf" must end the command: with parameters it goes to the shell as one
// file name, which it can't find, and the setup library is not started.
TEST_F(Launch, InfWithParametersIsNotInstalled) {
    RecordProcessStarts();
    WriteInfScript(temp / L"setup.inf", "01,copied", "payload.txt");

    AnsweredBox box = AnswerBoxDuring(L"", [&] { LaunchCommand(L"setup.inf /q", temp.path().c_str(), FALSE); });

    EXPECT_TRUE(box.shown);
    EXPECT_TRUE(startedPrograms.empty());
    EXPECT_FALSE(FileExists(temp / L"copied\\payload.txt"));
}

// Without /Q a script with parameters runs through the shell, split like a
// program.
TEST_F(Launch, ScriptWithParametersRunsThroughTheShell) {
    WriteBytes(temp / L"install.cmd", std::string("@echo off\r\necho %1> \"%~dp0args.txt\"\r\n"));

    LaunchCommand(L"install.cmd /quiet", temp.path().c_str(), FALSE);

    EXPECT_TRUE(WaitUntil([&] { return ReadBytes(temp / L"args.txt").size() >= 6; }));
    std::vector<unsigned char> written = ReadBytes(temp / L"args.txt");
    EXPECT_EQ("/quiet", std::string(written.begin(), written.end()).substr(0, 6));
}

// Unattended: scripts run in the system's command interpreter and
// installer packages through the system's installer, each without a
// console window; a document starts nothing. A package goes by its full
// path; a script by its name in its own folder, where the interpreter
// starts, so that no %NAME% of the folder's path reaches the interpreter's
// line, where it would be expanded.
TEST_F(Launch, QuietRunsStartScriptsAndPackagesThroughTheSystemsPrograms) {
    RecordProcessStarts();
    WriteBytes(temp / L"run me.cmd", std::string("@echo off\r\nexit /b 4\r\n"));
    CreateDirectoryW((temp / L"pct%WINDIR%x").c_str(), nullptr);
    WriteBytes(temp / L"pct%WINDIR%x\\run me.cmd", std::string("@echo off\r\nexit /b 3\r\n"));
    WriteBytes(temp / L"setup.msi", std::string("not a database"));
    WriteBytes(temp / L"fix.msp", std::string("not a patch"));
    WriteBytes(temp / L"readme.txt", std::string("read me"));
    WCHAR system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring folder = temp.path();
    const struct {
        const wchar_t* command;
        const wchar_t* program;  // in the system folder; null: nothing starts
        std::wstring commandLine;
        DWORD exitCode;  // the installer's for a file that is no database: Wine's
        const wchar_t* subfolder = L"";  // of the folder: where the program starts
    } rows[] = {
        {L"run me.cmd a b", L"cmd.exe", L"cmd.exe /d /v:off /c \"\".\\run me.cmd\" a b\"", 4},
        {L"pct%WINDIR%x\\run me.cmd %WINDIR%", L"cmd.exe", L"cmd.exe /d /v:off /c \"\".\\run me.cmd\" %WINDIR%\"", 3,
         L"pct%WINDIR%x\\"},
        {L"setup.msi /l*v log.txt", L"msiexec.exe",
         L"msiexec.exe /i \"" + folder + L"setup.msi\" /qn /norestart /l*v log.txt", ERROR_FUNCTION_FAILED},
        {L"fix.msp", L"msiexec.exe", L"msiexec.exe /p \"" + folder + L"fix.msp\" /qn /norestart ",
         ERROR_FUNCTION_FAILED},
        {L"readme.txt", nullptr, L"", 0},
        {L"missing.cmd", nullptr, L"", ERROR_FILE_NOT_FOUND},
        {L"missing.msi", nullptr, L"", ERROR_FILE_NOT_FOUND},
    };
    G.QuietRun = TRUE;
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.command));
        startedPrograms.clear();
        startedCommandLines.clear();
        startedFolders.clear();
        startedScriptVariables.clear();
        startedFlags.clear();
        EXPECT_EQ(row.exitCode, LaunchCommand(row.command, folder.c_str(), FALSE));
        if (!row.program) {
            EXPECT_TRUE(startedPrograms.empty());
            continue;
        }
        ASSERT_EQ(1u, startedPrograms.size());
        EXPECT_TRUE(SamePath(std::wstring(system) + L"\\" + row.program, startedPrograms[0]))
            << Narrow(startedPrograms[0]);
        EXPECT_EQ(row.commandLine, startedCommandLines[0]);
        EXPECT_TRUE(SamePath(folder + row.subfolder, startedFolders[0])) << Narrow(startedFolders[0]);
        EXPECT_EQ((DWORD)CREATE_NO_WINDOW, startedFlags[0]);
        EXPECT_EQ(L"(none)", startedScriptVariables[0]);
    }
    G.QuietRun = FALSE;
}

// A network folder can't be the interpreter's current folder (it starts in
// the Windows folder instead, as Wine's loader does too): there the
// script's full path is the value of a variable of the child's
// environment, expanded once by the interpreter, and gone from the
// module's own environment afterwards. ('%' stays out of the folder's
// name: Wine's interpreter expands a value a second time.)
TEST_F(Launch, QuietScriptOnANetworkFolderIsNamedByAVariableOfItsEnvironment) {
    RecordProcessStarts();
    NetworkShare share;
    std::wstring folder = share / L"net a&b^(c)!\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    WriteBytes(folder + L"run me.cmd", std::string("@echo off\r\nif \"%1\"==\"a\" exit /b 4\r\nexit /b 6\r\n"));
    G.QuietRun = TRUE;
    DWORD exitCode = LaunchCommand(L"run me.cmd a", folder.c_str(), FALSE);
    G.QuietRun = FALSE;

    EXPECT_EQ(4u, exitCode);
    ASSERT_EQ(1u, startedCommandLines.size());
    EXPECT_EQ(L"cmd.exe /d /v:off /c \"\"%VUVUZU_SCRIPT%\" a\"", startedCommandLines[0]);
    EXPECT_EQ(folder + L"run me.cmd", startedScriptVariables[0]);
    EXPECT_EQ(0u, GetEnvironmentVariableW(L"VUVUZU_SCRIPT", nullptr, 0));
}
