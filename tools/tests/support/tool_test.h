// Running vuvpack and the cabinet tools, and the files the tests make.
#pragma once

#include <stdint.h>
#include <time.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

typedef std::vector<uint8_t> Bytes;

struct RunResult {
    int status;  // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs a program found on PATH (or by its path), with its output captured,
// in workingFolder when one is given.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workingFolder = "");
// vuvpack itself or, when VUVPACK_EXE names it, vuvpack.exe under Wine
// (VUVPACK_WINE_RUN), its messages' paths turned back into Linux ones.
RunResult RunVuvpack(const std::vector<std::string>& args);
// True when RunVuvpack runs vuvpack.exe.
bool TestingWindowsBuild();
// Skips a test that only the Linux build can run, saying why.
#define LINUX_BUILD_ONLY(why) \
    if (TestingWindowsBuild()) GTEST_SKIP() << "Linux build only: " << why
// Runs vuvpack.exe under Wine: the build's own, or VUVPACK_EXE.
RunResult RunWindowsVuvpack(const std::vector<std::string>& args);
// Runs a Windows program under Wine, its messages' paths as Linux ones.
RunResult RunUnderWine(const std::string& exe, const std::vector<std::string>& args);
// The program file RunVuvpack runs, and a copy of it run from elsewhere.
std::string VuvpackProgramFile();
RunResult RunVuvpackCopy(const std::string& copy, const std::vector<std::string>& args);

Bytes ReadFile(const std::string& path);
// The moment of a date and time in the local zone (TZ), with that date's
// own daylight-saving rule.
time_t LocalTime(int year, int month, int day, int hour, int minute, int second);

void WriteFile(const std::string& path, const Bytes& bytes);
void WriteFile(const std::string& path, const std::string& text);
bool PathExists(const std::string& path);
// Names in a folder (not recursive), sorted.
std::vector<std::string> ListFolder(const std::string& path);

uint32_t U32At(const Bytes& bytes, size_t offset);
void PutU32(Bytes* bytes, size_t offset, uint32_t value);
void PutU16(Bytes* bytes, size_t offset, uint16_t value);
uint16_t U16At(const Bytes& bytes, size_t offset);
// `units` UTF-16LE code units from offset.
std::u16string Utf16At(const Bytes& bytes, size_t offset, size_t units);

// A fresh folder per test case, under the build folder, named after it.
class ToolTest : public ::testing::Test {
public:
    void SetUp() override;
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& Dir() const { return dir_; }

    // A small MSZIP cabinet made by gcab from the given files (name, text).
    std::string MakeCabinet(const std::string& name,
                            const std::vector<std::pair<std::string, std::string>>& files);

private:
    std::string dir_;
};

extern const char* const kStubPath;  // the module's own executable
