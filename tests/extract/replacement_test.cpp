// A replacement killed while it is written leaves no temporary file: the
// file that replaces an existing one is created to be deleted when it is
// closed, and the process's end closes it. A child process of this test
// program holds one open until it is killed.
#include <gtest/gtest.h>
#include <windows.h>

#include <io.h>

#include <string>
#include <vector>

#include "extract/replacement.h"
#include "support/gui_driver.h"
#include "support/test_files.h"

namespace {

const WCHAR kTargetVariable[] = L"VUV_REPLACEMENT_TARGET";
const WCHAR kReadyVariable[] = L"VUV_REPLACEMENT_READY";

std::wstring Variable(const WCHAR* name) {
    WCHAR value[MAX_PATH] = L"";
    DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

// The child: writes part of a replacement of the target, says so, and
// waits to be killed.
TEST(Replacement, ChildWritingAReplacement) {
    std::wstring target = Variable(kTargetVariable);
    if (target.empty()) GTEST_SKIP() << "started by AKilledReplacementLeavesNoTemporaryFile";
    WCHAR temporary[MAX_PATH];
    int descriptor = CreateReplacement(target.c_str(), temporary);
    ASSERT_NE(-1, descriptor);
    std::vector<char> block(1 << 20, 'n');
    ASSERT_EQ((int)block.size(), _write(descriptor, block.data(), (unsigned)block.size()));
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, Variable(kReadyVariable).c_str());
    ASSERT_TRUE(ready && SetEvent(ready));
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WaitForSingleObject(never, 60000);
    ADD_FAILURE() << "not killed";
}

TEST(Replacement, AKilledReplacementLeavesNoTemporaryFile) {
    TempFolder temp;
    std::wstring target = temp / L"user.txt";
    WriteBytes(target, std::string("the user's file"));
    std::wstring readyName = L"vuv-replacement-ready-" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    ASSERT_TRUE(ready);
    SetEnvironmentVariableW(kTargetVariable, target.c_str());
    SetEnvironmentVariableW(kReadyVariable, readyName.c_str());
    WCHAR self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);

    ChildProcess child;
    ASSERT_TRUE(child.Start(self, L"--gtest_filter=Replacement.ChildWritingAReplacement"));
    SetEnvironmentVariableW(kTargetVariable, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 30000));
    std::vector<std::wstring> during = ListTree(temp.path());
    ASSERT_EQ(2u, during.size());
    EXPECT_EQ(L"user.txt", during[0]);
    EXPECT_EQ(L"~vuv", during[1].substr(0, 4));

    child.Kill();
    EXPECT_FALSE(child.Running());
    EXPECT_EQ(std::vector<std::wstring>{L"user.txt"}, ListTree(temp.path()));
    std::vector<unsigned char> contents = ReadBytes(target);
    EXPECT_EQ("the user's file", std::string(contents.begin(), contents.end()));
    CloseHandle(ready);
}

}  // namespace
