// The private folder of a package that deletes its files after its
// command: always made afresh, under the next free name, with a protected
// access list. Wine keeps no access list of its own (it maps one to the
// Unix permissions), so the list is read back from the call that creates
// the folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>

#include <string>

#include "app/private_folder.h"
#include "base/package_header.h"
#include "support/import_patch.h"
#include "support/test_files.h"

namespace {

// What each CreateDirectoryW call was given: its path and its access list
// in the system's string form.
struct CreateCall {
    std::wstring path;
    std::wstring security;
};
std::vector<CreateCall> createCalls;
BOOL(WINAPI* realCreateDirectoryW)(const WCHAR*, SECURITY_ATTRIBUTES*);

BOOL WINAPI RecordingCreateDirectoryW(const WCHAR* path, SECURITY_ATTRIBUTES* attributes) {
    CreateCall call = {path, L"(none)"};
    WCHAR* text = nullptr;
    if (attributes && attributes->lpSecurityDescriptor &&
        ConvertSecurityDescriptorToStringSecurityDescriptorW(attributes->lpSecurityDescriptor, SDDL_REVISION_1,
                                                             DACL_SECURITY_INFORMATION, &text, nullptr)) {
        call.security = text;
        LocalFree(text);
    }
    createCalls.push_back(call);
    return realCreateDirectoryW(path, attributes);
}

class PrivateFolder : public ::testing::Test {
protected:
    void SetUp() override {
        realCreateDirectoryW =
            (decltype(realCreateDirectoryW))(void*)GetProcAddress(GetModuleHandleW(L"kernel32"), "CreateDirectoryW");
        ASSERT_GT(PatchImports((void*)realCreateDirectoryW, (void*)RecordingCreateDirectoryW), 0);
        createCalls.clear();
    }
    void TearDown() override { PatchImports((void*)RecordingCreateDirectoryW, (void*)realCreateDirectoryW); }

    // Runs CreatePrivateFolder on temp\~setup.exe\; returns the folder it
    // gives back ("" on failure).
    std::wstring Create(const std::wstring& base) {
        WCHAR folder[kDestinationChars];
        lstrcpynW(folder, base.c_str(), kDestinationChars);
        return CreatePrivateFolder(folder) ? std::wstring(folder) : std::wstring();
    }

    TempFolder temp;
    std::wstring base = temp / L"~setup.exe\\";
};

const WCHAR kProtectedList[] = L"D:P(A;OICI;FA;;;OW)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

TEST_F(PrivateFolder, IsCreatedWithTheProtectedListOfOwnerSystemAndAdministrators) {
    EXPECT_TRUE(IsValidSecurityDescriptor((PSECURITY_DESCRIPTOR)kPrivateFolderSecurity));
    EXPECT_EQ(base, Create(base));
    EXPECT_TRUE(FolderExists(base));
    ASSERT_EQ(1u, createCalls.size());
    EXPECT_EQ(temp / L"~setup.exe", createCalls[0].path);
    EXPECT_EQ(kProtectedList, createCalls[0].security);
}

// Whatever holds the name (a folder with files, a file), the run takes the
// next free name and leaves it alone.
TEST_F(PrivateFolder, TakesTheNextFreeNameAndNeverAFolderItDidNotCreate) {
    ASSERT_TRUE(realCreateDirectoryW((temp / L"~setup.exe").c_str(), nullptr));
    WriteBytes(temp / L"~setup.exe\\setup.exe", std::string("planted"));
    WriteBytes(temp / L"~setup.exe.1", std::string("a file"));
    ASSERT_TRUE(realCreateDirectoryW((temp / L"~setup.exe.2").c_str(), nullptr));

    EXPECT_EQ(temp / L"~setup.exe.3\\", Create(base));
    ASSERT_EQ(4u, createCalls.size());
    for (const CreateCall& call : createCalls) EXPECT_EQ(kProtectedList, call.security) << Narrow(call.path);
    EXPECT_EQ(temp / L"~setup.exe.2", createCalls[2].path);
    EXPECT_EQ((std::vector<std::wstring>{L"setup.exe"}), ListTree(temp / L"~setup.exe\\"));
    EXPECT_EQ((std::vector<std::wstring>{}), ListTree(temp / L"~setup.exe.2\\"));
    EXPECT_EQ((std::vector<std::wstring>{}), ListTree(temp / L"~setup.exe.3\\"));
}

TEST_F(PrivateFolder, FailsWhereNoFolderCanBeMade) {
    // No temporary folder to make it in.
    EXPECT_EQ(L"", Create(temp / L"missing\\~setup.exe\\"));
    EXPECT_EQ(1u, createCalls.size());
    // No room for a number: the name alone is not tried either.
    std::wstring longName = temp / (std::wstring(kDestinationChars - 4 - temp.path().size(), L'n') + L"\\");
    EXPECT_EQ(L"", Create(longName));
    EXPECT_EQ(1u, createCalls.size());
}

}  // namespace
