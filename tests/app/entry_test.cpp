#include <gtest/gtest.h>

#include <string>

#include "support/test_files.h"

// Runs the built program with the given command line (its own name
// included) and returns its exit code.
static DWORD RunStub(const std::wstring& commandLine) {
    std::wstring program = StubPath();
    std::wstring line = commandLine;
    size_t at = line.find(L"{exe}");
    if (at != std::wstring::npos) line.replace(at, 5, program);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << Narrow(program);
        return 0xDEADBEEF;
    }
    DWORD exitCode = 0xDEADBEEF;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    } else {
        ADD_FAILURE() << "the program did not end";
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

// The exit code is the parser's result, -1 when nothing follows the
// program's name and the characters up to U+0020 behind it. These lines
// all run the stub as its own empty package, which ends quietly.
TEST(Entry, ExitCodes) {
    const struct {
        const wchar_t* line;
        DWORD exitCode;
    } rows[] = {
        {L"\"{exe}\"", (DWORD)-1},
        {L"{exe}", (DWORD)-1},
        {L"\"{exe}\"    ", (DWORD)-1},
        {L"\"{exe}\"\t\t", (DWORD)-1},
        {L"\"{exe}\" /H", 1},
        {L"{exe} /h /o /n", 1},
        {L"\"{exe}\"\t/H", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.line));
        EXPECT_EQ(row.exitCode, RunStub(row.line));
    }
}
