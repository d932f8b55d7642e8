// What a killed replacement leaves. The file that replaces an existing one
// is created to be deleted when it is closed, and the process's end closes
// it: killed while it is written, nothing is left. Only between taking that
// deletion back and the rename, two calls in a row, does a kill leave it
// (hidden, whole) beside the old file, which may have lost its read-only
// bit. A child process of this test program runs the replacement and
// stops at the moment of its row until it is killed.
#include <gtest/gtest.h>
#include <windows.h>

#include <io.h>

#include <string>
#include <vector>

#include "extract/replacement.h"
#include "support/gui_driver.h"
#include "support/import_patch.h"
#include "support/test_files.h"

namespace {

const WCHAR kTargetVariable[] = L"VUV_REPLACEMENT_TARGET";
const WCHAR kReadyVariable[] = L"VUV_REPLACEMENT_READY";
const WCHAR kMomentVariable[] = L"VUV_REPLACEMENT_MOMENT";

std::wstring Variable(const WCHAR* name) {
    WCHAR value[MAX_PATH] = L"";
    DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

// Says that the child has reached its moment, and waits to be killed.
void AwaitKill() {
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, Variable(kReadyVariable).c_str());
    if (!ready || !SetEvent(ready)) ADD_FAILURE() << "no one is told";
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WaitForSingleObject(never, 60000);
    ADD_FAILURE() << "not killed";
    ExitProcess(1);
}

// The child's stand-in for the system: the rename stops there, before it
// happens.
BOOL(WINAPI* realSetFileInformationByHandle)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, void*, DWORD);
BOOL WINAPI StoppingSetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* information,
                                               DWORD size) {
    if (kind == FileRenameInfo) AwaitKill();
    return realSetFileInformationByHandle(file, kind, information, size);
}

const size_t kEntryBytes = 1 << 20;

// The child: replaces the target with kEntryBytes of 'n', and stops at its
// moment.
TEST(Replacement, ChildReplacingAFile) {
    std::wstring target = Variable(kTargetVariable);
    if (target.empty()) GTEST_SKIP() << "started by AKilledReplacementLeavesWhatItsMomentAllows";
    bool atRename = Variable(kMomentVariable) == L"rename";
    WCHAR temporary[MAX_PATH];
    int descriptor = CreateReplacement(target.c_str(), temporary);
    ASSERT_NE(-1, descriptor);
    std::vector<char> block(kEntryBytes, 'n');
    ASSERT_EQ((int)block.size(), _write(descriptor, block.data(), (unsigned)block.size()));
    if (!atRename) AwaitKill();
    realSetFileInformationByHandle = (decltype(realSetFileInformationByHandle))(void*)GetProcAddress(
        GetModuleHandleW(L"kernel32"), "SetFileInformationByHandle");
    ASSERT_GT(PatchImports((void*)realSetFileInformationByHandle, (void*)StoppingSetFileInformationByHandle), 0);
    ASSERT_TRUE(SealReplacement(descriptor));
    CommitReplacement(descriptor, target.c_str());
    ADD_FAILURE() << "the rename did not stop";
}

TEST(Replacement, AKilledReplacementLeavesWhatItsMomentAllows) {
    const struct {
        const wchar_t* moment;
        bool temporaryStays;  // hidden, whole
        DWORD oldAttributes;  // the user's file, read-only before
    } rows[] = {
        {L"write", false, FILE_ATTRIBUTE_READONLY},
        {L"rename", true, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.moment));
        TempFolder temp;
        std::wstring target = temp / L"user.txt";
        WriteBytes(target, std::string("the user's file"));
        ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
        std::wstring readyName = L"vuv-replacement-ready-" + std::to_wstring(GetCurrentProcessId());
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
        ASSERT_TRUE(ready);
        SetEnvironmentVariableW(kTargetVariable, target.c_str());
        SetEnvironmentVariableW(kReadyVariable, readyName.c_str());
        SetEnvironmentVariableW(kMomentVariable, row.moment);
        WCHAR self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);

        ChildProcess child;
        ASSERT_TRUE(child.Start(self, L"--gtest_filter=Replacement.ChildReplacingAFile"));
        SetEnvironmentVariableW(kTargetVariable, nullptr);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 30000));
        std::vector<std::wstring> during = ListTree(temp.path());
        ASSERT_EQ(2u, during.size());
        EXPECT_EQ(L"user.txt", during[0]);
        EXPECT_EQ(L"~vuv", during[1].substr(0, 4));

        child.Kill();
        EXPECT_FALSE(child.Running());
        std::vector<std::wstring> left = {L"user.txt"};
        if (row.temporaryStays) left.push_back(during[1]);
        EXPECT_EQ(left, ListTree(temp.path()));
        std::vector<unsigned char> contents = ReadBytes(target);
        EXPECT_EQ("the user's file", std::string(contents.begin(), contents.end()));
        EXPECT_EQ(row.oldAttributes, GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_READONLY);
        if (row.temporaryStays) {
            std::wstring temporary = temp / during[1];
            EXPECT_EQ(kEntryBytes, ReadBytes(temporary).size());
            EXPECT_TRUE(GetFileAttributesW(temporary.c_str()) & FILE_ATTRIBUTE_HIDDEN);
        }
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        CloseHandle(ready);
    }
}

}  // namespace
