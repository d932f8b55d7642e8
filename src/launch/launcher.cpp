#include "launch/launcher.h"

#include <shellapi.h>
#include <strsafe.h>

#include "base/paths.h"
#include "base/state.h"
#include "launch/process_tree.h"
#include "launch/wow64.h"

enum {
    kCommandBufferChars = 1024,
    kProbesAfterRunning = 200,  // ~2 s for a window after a program (or its tree) waited for
    kProbesAfterEnded = 3000,   // ~30 s after a program that had ended at once, without a tree
};

// The setup library's install mode: 128, the script's folder is the source,
// plus 4, ask before a restart; an unattended run never asks (128 alone).
static const WCHAR kInfCommandFormat[] = L"rundll32.exe setupapi,InstallHinfSection DefaultInstall %d %s";

// The program types that every system runs, for one that names none.
static const WCHAR kDefaultProgramTypes[] = L".COM;.EXE;.BAT;.CMD";
// Installer packages run through the system's installer, like programs.
static const WCHAR kInstallerTypes[] = L".MSI;.MSP";
static const WCHAR kScriptTypes[] = L".BAT;.CMD";

// Command lines of the system's programs, from their name, the file and
// its parameters. The command interpreter: /d leaves out its AutoRun
// commands; /v:off its delayed expansion, which the DelayedExpansion
// registry value turns on for every start, /d or not (a '!' in the line
// would be eaten); /c ends it with the script's exit code, and the outer
// quotes are its to strip, so a name with blanks stays whole. The
// installer: no user interface, no restart, the package's own parameters
// last.
static const WCHAR kScriptFormat[] = L"%s /d /v:off /c \"\"%s\" %s\"";
// The script's full path on a network folder, for the child only.
static const WCHAR kScriptVariable[] = L"VUVUZU_SCRIPT";
static const WCHAR kScriptReference[] = L"%VUVUZU_SCRIPT%";
static const WCHAR kPackageFormat[] = L"%s /i \"%s\" /qn /norestart %s";
static const WCHAR kPatchFormat[] = L"%s /p \"%s\" /qn /norestart %s";

// TRUE when the length characters at type (from its '.') are one of the
// entries of list (separated by ';'). "| 0x20" folds the case of ASCII
// letters only, as the types are.
static BOOL ListHoldsType(const WCHAR* list, const WCHAR* type, int length) {
    for (const WCHAR* entry = list; *entry; entry++) {
        int matched = 0;
        while (matched < length && (entry[matched] | 0x20) == (type[matched] | 0x20)) matched++;
        if (matched == length && (entry[matched] == L';' || !entry[matched])) return TRUE;
        while (*entry && *entry != L';') entry++;
        if (!*entry) break;
    }
    return FALSE;
}

// Program types: the system's PATHEXT (the default list when it has none,
// or one too long to read whole) and the installer's packages.
static BOOL IsProgramType(const WCHAR* type, int length) {
    WCHAR systemTypes[512];
    DWORD read = GetEnvironmentVariableW(L"PATHEXT", systemTypes, ARRAYSIZE(systemTypes));
    const WCHAR* list = read && read < ARRAYSIZE(systemTypes) ? systemTypes : kDefaultProgramTypes;
    return ListHoldsType(list, type, length) || ListHoldsType(kInstallerTypes, type, length);
}

WCHAR* SplitParameters(WCHAR* command) {
    for (WCHAR* p = command; *p; p++) {
        if (p[0] != L'.') continue;
        WCHAR* end = p + 1;
        while (*end && *end != L' ') end++;
        if (!IsProgramType(p, (int)(end - p))) continue;
        if (*end == 0) return end;
        *end = 0;
        return end + 1;
    }
    return nullptr;
}

HWND FindInstallerWindow(WCHAR* className, WCHAR* title) {
    static const WCHAR* const installerClasses[] = {L"MsiDialogCloseClass", L"InstallShield_Win"};
    title[0] = 0;
    for (const WCHAR* installerClass : installerClasses) {
        lstrcpynW(className, installerClass, kInstallerNameChars);
        HWND window = FindWindowW(className, nullptr);
        if (window) return window;
    }
    className[0] = 0;
    lstrcpynW(title, L"Setup", kInstallerNameChars);
    HWND window = FindWindowW(nullptr, title);
    if (!window) title[0] = 0;
    return window;
}

static BOOL EndsWithInf(const WCHAR* command) {
    int length = lstrlenW(command);
    return length >= 4 && lstrcmpiW(command + length - 4, L".inf") == 0;
}

// The system folder whose rundll32 hosts the setup library. A package not
// marked for 64-bit Windows was made for the 32-bit module, whose rundll32
// runs under WOW64 (redirected system folder and registry): the 64-bit
// module starts that same 32-bit rundll32 where WOW64 exists, and its own
// where it does not.
static UINT RundllFolder(WCHAR* folder, UINT chars) {
#ifdef _WIN64
    if (RunsAsUnderWow64()) return GetSystemWow64DirectoryW(folder, chars);
#endif
    return GetSystemDirectoryW(folder, chars);
}

// The setup library installs the script in a child process, always waited
// for. rundll32 is named by its full path: the search order of
// CreateProcessW would look in the program's own folder first. The setup
// library reports no result: 0 once rundll32 ran, else why it did not.
static DWORD RunInfScript(WCHAR* path, const WCHAR* workingFolder) {
    WCHAR rundll[MAX_PATH];
    WCHAR shortPath[MAX_PATH];
    UINT systemLength = RundllFolder(rundll, ARRAYSIZE(rundll));
    if (systemLength == 0 || systemLength >= ARRAYSIZE(rundll)) return GetLastError();
    if (FAILED(StringCchCatW(rundll, ARRAYSIZE(rundll), L"\\rundll32.exe"))) return ERROR_FILENAME_EXCED_RANGE;

    // The 64-bit module sees the native system folder already.
    int redirectionOff = 0;
#ifndef _WIN64
    if (G.RunSettings.variant == kVariantX64) redirectionOff = Wow64Control(0);
#endif

    DWORD result = ERROR_FILENAME_EXCED_RANGE;
    DWORD shortLength = GetShortPathNameW(path, shortPath, ARRAYSIZE(shortPath));
    if (!shortLength) result = GetLastError();
    if (shortLength != 0 && shortLength < ARRAYSIZE(shortPath) &&
        SUCCEEDED(StringCchPrintfW(path, kCommandBufferChars, kInfCommandFormat, G.QuietRun ? 128 : 132,
                                   shortPath))) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (CreateProcessW(rundll, path, nullptr, nullptr, FALSE, 0, nullptr, workingFolder, &startup, &process)) {
            WaitForSingleObject(process.hProcess, INFINITE);
            WaitForCommandTree();
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
            result = 0;
        } else {
            result = GetLastError();
        }
    }

    if (redirectionOff) Wow64Control(1);
    return result;
}

// Waits, after a program has ended, for an installer window it may have
// left; the first one found is waited for until it goes.
static void WaitForInstallerWindow(int probes) {
    WCHAR className[kInstallerNameChars] = {};
    WCHAR title[kInstallerNameChars] = {};
    Sleep(1000);
    for (int probe = 0; probe < probes; probe++) {
        Sleep(10);
        if (!FindInstallerWindow(className, title)) continue;
        do {
            Sleep(100);
        } while (FindWindowW(className[0] ? className : nullptr, title[0] ? title : nullptr));
        return;
    }
}

// An unattended run always waits for the program, to hand back its exit
// code.
static DWORD RunThroughShell(WCHAR* file, const WCHAR* parameters, const WCHAR* workingFolder, BOOL waitFlag) {
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    // The shell's own error boxes stay, but for an unattended run.
    execute.fMask = G.QuietRun ? SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI : SEE_MASK_NOCLOSEPROCESS;
    execute.lpFile = file;
    execute.lpParameters = parameters;
    execute.lpDirectory = workingFolder;
    execute.nShow = SW_SHOW;
    if (!ShellExecuteExW(&execute)) return GetLastError();
    if (!execute.hProcess) return 0;

    DWORD exitCode = STILL_ACTIVE;
    int probes = kProbesAfterEnded;
    if (G.CommandTreePort) {
        // Its own end too: a program the system started for it outside
        // the job would leave the job empty at once.
        WaitForSingleObject(execute.hProcess, INFINITE);
        WaitForCommandTree();
        probes = kProbesAfterRunning;
    } else {
        WaitForInputIdle(execute.hProcess, INFINITE);
        Sleep(100);
    }
    BOOL known = GetExitCodeProcess(execute.hProcess, &exitCode);
    if (!known) exitCode = GetLastError();
    if (known && exitCode == STILL_ACTIVE && (waitFlag || G.QuietRun)) {
        while (WaitForSingleObject(execute.hProcess, 0) == WAIT_TIMEOUT) Sleep(100);
        probes = kProbesAfterRunning;
        GetExitCodeProcess(execute.hProcess, &exitCode);
    }
    CloseHandle(execute.hProcess);
    if (known && waitFlag) WaitForInstallerWindow(probes);
    return exitCode;
}

// The type of a command's file: its last component's text from the last
// '.' on; empty when there is none.
static const WCHAR* FileType(const WCHAR* file) {
    const WCHAR* type = nullptr;
    for (const WCHAR* p = file; *p; p++) {
        if (*p == L'\\') type = nullptr;
        if (*p == L'.') type = p;
    }
    return type ? type : file + lstrlenW(file);
}

// Runs the program name of the system folder by its full path (the search
// order of CreateProcessW would look in the program's own folder first)
// with the command line that format makes, no console window, and waits
// for its end. Returns its exit code, or the error that kept it from
// starting.
static DWORD RunSystemProgram(const WCHAR* name, const WCHAR* format, const WCHAR* file, const WCHAR* parameters,
                              const WCHAR* workingFolder) {
    WCHAR program[MAX_PATH];
    WCHAR commandLine[kCommandBufferChars + MAX_PATH];
    UINT length = GetSystemDirectoryW(program, MAX_PATH);
    if (length == 0) return GetLastError();
    if (length >= MAX_PATH || FAILED(StringCchPrintfW(program + length, MAX_PATH - length, L"\\%s", name)) ||
        FAILED(StringCchPrintfW(commandLine, ARRAYSIZE(commandLine), format, name, file, parameters)))
        return ERROR_FILENAME_EXCED_RANGE;

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, workingFolder,
                        &startup, &process))
        return GetLastError();
    WaitForSingleObject(process.hProcess, INFINITE);
    WaitForCommandTree();
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode)) exitCode = GetLastError();
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return exitCode;
}

// The interpreter expands %NAME% on its /c line, inside quotes too, and the
// script's folder is the user's or the package's (a folder named
// "h%HOMEPATH%" would start another script, one with "%WINDIR%" none). So
// the folder stays off that line: the interpreter starts in it and runs
// ".\name", which no search can take for another file. A network folder
// can't be its current folder (it falls back to the Windows folder), so
// there the full path goes in a variable of the child's environment: the
// interpreter expands the line once, and never the value's own %...%
// again. (Wine's does: under Wine such a path still breaks there.)
static DWORD RunScript(const WCHAR* file, const WCHAR* parameters, const WCHAR* workingFolder) {
    WCHAR relative[MAX_PATH];
    const WCHAR* script = relative;
    BOOL network = file[0] == L'\\' && file[1] == L'\\';
    if (network) {
        if (!SetEnvironmentVariableW(kScriptVariable, file)) return GetLastError();
        script = kScriptReference;
    } else if (FAILED(StringCchPrintfW(relative, ARRAYSIZE(relative), L".\\%s", file + lstrlenW(workingFolder)))) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    DWORD exitCode = RunSystemProgram(L"cmd.exe", kScriptFormat, script, parameters, workingFolder);
    if (network) SetEnvironmentVariableW(kScriptVariable, nullptr);
    return exitCode;
}

// Unattended: every program is waited for and hands back its exit code,
// a script through the system's command interpreter, an installer package
// through the system's installer. A document (no program type split it)
// is not opened, as no one would read it or close its viewer. A file the
// interpreter or the installer would not find is the command's failure,
// as the shell's would be.
static DWORD RunUnattended(WCHAR* file, const WCHAR* parameters, const WCHAR* workingFolder, BOOL waitFlag) {
    const WCHAR* type = FileType(file);
    int typeLength = lstrlenW(type);
    BOOL script = ListHoldsType(kScriptTypes, type, typeLength);
    BOOL package = ListHoldsType(kInstallerTypes, type, typeLength);
    if ((!parameters || script || package) && GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES)
        return GetLastError();
    if (!parameters) return 0;
    if (package)
        return RunSystemProgram(L"msiexec.exe", (type[3] | 0x20) == L'p' ? kPatchFormat : kPackageFormat, file,
                                parameters, workingFolder);
    if (!script) return RunThroughShell(file, parameters, workingFolder, waitFlag);
    DWORD exitCode = RunScript(file, parameters, workingFolder);
    if (waitFlag) WaitForInstallerWindow(kProbesAfterRunning);
    return exitCode;
}

DWORD LaunchCommand(const WCHAR* command, const WCHAR* destination, BOOL waitFlag) {
    WCHAR path[kCommandBufferChars] = {};
    if (FAILED(StringCchPrintfW(path, ARRAYSIZE(path), L"%s%s", destination, command)))
        return ERROR_FILENAME_EXCED_RANGE;
    WCHAR* commandPart = path + lstrlenW(destination);

    WCHAR* parameters = nullptr;
    BOOL infScript = EndsWithInf(commandPart);
    if (!infScript) parameters = SplitParameters(commandPart);
#ifndef _WIN64
    // A '6' package's script is installed with redirection off: a path
    // through WOW64's alias names the native system folder itself
    // ("\Sysnative\" becomes "\System32\", one character shorter).
    WCHAR* alias = infScript && G.RunSettings.variant == kVariantX64 ? wcsstr(path, kNativeAlias) : nullptr;
    if (alias) {
        memcpy(alias, L"\\System32", 9 * sizeof(WCHAR));
        memmove(alias + 9, alias + 10, (lstrlenW(alias + 10) + 1) * sizeof(WCHAR));
    }
#endif

    // The folder of the file itself: parameters may hold backslashes too.
    // A folder cut to the buffer would be another folder: refused.
    WCHAR workingFolder[MAX_PATH];
    SplitPath(path, workingFolder, nullptr);
    if (lstrlenW(workingFolder) >= MAX_PATH - 1) return ERROR_FILENAME_EXCED_RANGE;

    // Where the command is waited for, so is everything it starts.
    if (infScript || waitFlag || G.QuietRun) JoinCommandTree();
    if (infScript) return RunInfScript(path, workingFolder);
    if (G.QuietRun) return RunUnattended(path, parameters, workingFolder, waitFlag);
    return RunThroughShell(path, parameters, workingFolder, waitFlag);
}
