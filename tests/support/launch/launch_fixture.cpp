#include "support/launch/launch_fixture.h"

#include <gtest/gtest.h>

#include "support/gui_driver.h"
#include "support/test_files.h"

std::wstring HelperProgram() { return BuildPath("tests/launch/launch_helper.exe"); }

void PlaceHelper(const std::wstring& path) {
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(HelperProgram().c_str(), path.c_str(), FALSE)) << Narrow(path);
}

HelperRecord ReadHelperRecord(const std::wstring& recordPath) {
    HelperRecord record;
    std::vector<unsigned char> bytes = ReadBytes(recordPath);
    if (bytes.empty()) return record;
    std::wstring text = Widen(std::string(bytes.begin(), bytes.end()));
    size_t first = text.find(L'\n');
    size_t second = text.find(L'\n', first + 1);
    if (first == std::wstring::npos || second == std::wstring::npos) return record;
    record.present = true;
    record.commandLine = text.substr(0, first);
    record.folder = text.substr(first + 1, second - first - 1);
    record.processId = (DWORD)std::stoul(text.substr(second + 1));
    return record;
}

static size_t EndOfProgram(const std::wstring& commandLine) {
    if (!commandLine.empty() && commandLine[0] == L'"') {
        size_t close = commandLine.find(L'"', 1);
        return close == std::wstring::npos ? commandLine.size() : close + 1;
    }
    size_t blank = commandLine.find(L' ');
    return blank == std::wstring::npos ? commandLine.size() : blank;
}

std::wstring ParametersOf(const std::wstring& commandLine) {
    size_t start = commandLine.find_first_not_of(L' ', EndOfProgram(commandLine));
    return start == std::wstring::npos ? std::wstring() : commandLine.substr(start);
}

std::wstring ProgramOf(const std::wstring& commandLine) {
    std::wstring program = commandLine.substr(0, EndOfProgram(commandLine));
    if (!program.empty() && program[0] == L'"') program = program.substr(1, program.size() - 2);
    return program;
}

void WaitForProcessEnd(DWORD processId) {
    ChildProcess process;
    DWORD exitCode = 0;
    if (process.Adopt(processId)) process.WaitForExit(20000, &exitCode);
}

void WriteInfScript(const std::wstring& infPath, const std::string& destinationDirs, const std::string& payload) {
    std::wstring folder = infPath.substr(0, infPath.find_last_of(L'\\') + 1);
    CreateDirectoryW(folder.c_str(), nullptr);
    WriteBytes(folder + Widen(payload), std::string("copied by the setup library\r\n"));
    WriteBytes(infPath, "[Version]\r\n"
                        "Signature=\"$Windows NT$\"\r\n"
                        "\r\n"
                        "[DefaultInstall]\r\n"
                        "CopyFiles=PayloadFiles\r\n"
                        "\r\n"
                        "[DestinationDirs]\r\n"
                        "PayloadFiles=" + destinationDirs + "\r\n"
                        "\r\n"
                        "[PayloadFiles]\r\n"
                        + payload + "\r\n"
                        "\r\n"
                        "[SourceDisksNames]\r\n"
                        "1=\"Package\",,,\r\n"
                        "\r\n"
                        "[SourceDisksFiles]\r\n"
                        + payload + "=1\r\n");
}

WORD MachineOf(const std::wstring& path) {
    std::vector<unsigned char> bytes = ReadBytes(path);
    if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return 0;
    LONG ntOffset = ((IMAGE_DOS_HEADER*)bytes.data())->e_lfanew;
    if (ntOffset < 0 || (size_t)ntOffset + 4 + sizeof(IMAGE_FILE_HEADER) > bytes.size()) return 0;
    return ((IMAGE_NT_HEADERS32*)(bytes.data() + ntOffset))->FileHeader.Machine;
}

WORD SystemKernelMachine() {
    wchar_t folder[MAX_PATH];
    GetSystemDirectoryW(folder, MAX_PATH);
    return MachineOf(std::wstring(folder) + L"\\kernel32.dll");
}
