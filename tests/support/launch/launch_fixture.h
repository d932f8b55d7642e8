// Shared by the launcher tests: copies of the stand-in setup program placed
// in a destination folder, and what it recorded about its start.
#pragma once

#include <windows.h>

#include <string>

struct HelperRecord {
    bool present = false;
    std::wstring commandLine;
    std::wstring folder;  // working folder, as GetCurrentDirectoryW gives it
    DWORD processId = 0;
};

// Path of the helper program built with the tests.
std::wstring HelperProgram();
// Copies the helper to path, creating its folder.
void PlaceHelper(const std::wstring& path);
HelperRecord ReadHelperRecord(const std::wstring& recordPath);
// The command line without its first token (the program), leading blanks
// removed: the parameters as the started program sees them.
std::wstring ParametersOf(const std::wstring& commandLine);
// The first token of a command line, without quotes.
std::wstring ProgramOf(const std::wstring& commandLine);
// Waits (bounded) for a started helper to end, so its folder can go; one
// that does not end in time is killed.
void WaitForProcessEnd(DWORD processId);

// Writes an .inf whose DefaultInstall copies the file payload (written
// beside it) into the folder named by the DestinationDirs entry ("01,copied":
// a sub-folder of the .inf's own folder; "11": the system folder).
void WriteInfScript(const std::wstring& infPath, const std::string& destinationDirs, const std::string& payload);

// Machine field of a PE file's header: 0x14c for i386, 0x8664 for x86-64.
WORD MachineOf(const std::wstring& path);
// kernel32.dll of the system folder as this thread sees it: i386 while
// WOW64 redirection is on.
WORD SystemKernelMachine();
// What SystemKernelMachine gives with redirection on: a 32-bit process sees
// the 32-bit system folder; a 64-bit build of the tests sees its own.
#ifdef _WIN64
constexpr WORD kRedirectedKernelMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr WORD kRedirectedKernelMachine = IMAGE_FILE_MACHINE_I386;
#endif
