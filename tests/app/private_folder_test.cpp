// The private folder of a package that deletes its files after its
// command: always made afresh, under a name with a random part where the
// fixed one is taken, with a protected access list. The random source is
// replaced where a test must know the names it gives. Wine keeps no access list of its own (it maps one to the
// Unix permissions), so the list is read back from the call that creates
// the folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>

#include <algorithm>
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

// A stand-in for the system's random source (advapi32's RtlGenRandom):
// eight bytes that name a known folder, "A5A5A5A5" and the number of the
// call, counted from 0 and wrapped at plantedNames.
const unsigned plantedNames = 1000;
unsigned randomCalls;
BOOLEAN(WINAPI* realRandom)(PVOID, ULONG);
BOOLEAN WINAPI KnownRandom(PVOID buffer, ULONG length) {
    if (length != 2 * sizeof(DWORD)) {
        ADD_FAILURE() << "asked for " << length << " bytes";
        return FALSE;
    }
    DWORD values[2] = {0xA5A5A5A5, randomCalls++ % plantedNames};
    memcpy(buffer, values, sizeof(values));
    return TRUE;
}
BOOLEAN WINAPI FailingRandom(PVOID, ULONG) {
    randomCalls++;
    return FALSE;
}

// The name KnownRandom's call number gives.
std::wstring KnownName(unsigned call) {
    WCHAR suffix[32];
    wsprintfW(suffix, L".A5A5A5A5%08X", call);
    return std::wstring(L"~setup.exe") + suffix;
}

class PrivateFolder : public ::testing::Test {
protected:
    void SetUp() override {
        realCreateDirectoryW =
            (decltype(realCreateDirectoryW))(void*)GetProcAddress(GetModuleHandleW(L"kernel32"), "CreateDirectoryW");
        ASSERT_GT(PatchImports((void*)realCreateDirectoryW, (void*)RecordingCreateDirectoryW), 0);
        realRandom = (decltype(realRandom))(void*)GetProcAddress(GetModuleHandleW(L"advapi32"), "SystemFunction036");
        ASSERT_NE(nullptr, realRandom);
        createCalls.clear();
        randomCalls = 0;
    }
    void TearDown() override {
        PatchImports((void*)RecordingCreateDirectoryW, (void*)realCreateDirectoryW);
        if (randomSource_) PatchImports(randomSource_, (void*)realRandom);
    }

    void ReplaceRandomSource(BOOLEAN(WINAPI* source)(PVOID, ULONG)) {
        ASSERT_GT(PatchImports((void*)realRandom, (void*)source), 0);
        randomSource_ = (void*)source;
    }

    // Runs CreatePrivateFolder on temp\~setup.exe\; returns the folder it
    // gives back ("" on failure).
    std::wstring Create(const std::wstring& base) {
        WCHAR folder[kDestinationChars];
        lstrcpynW(folder, base.c_str(), kDestinationChars);
        return CreatePrivateFolder(folder) ? std::wstring(folder) : std::wstring();
    }

    TempFolder temp;
    std::wstring base = temp / L"~setup.exe\\";
    void* randomSource_ = nullptr;
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

// Whatever holds a name (a folder with files, a file), the run takes the
// next random one and leaves it alone.
TEST_F(PrivateFolder, TakesTheNextRandomNameAndNeverAFolderItDidNotCreate) {
    ReplaceRandomSource(KnownRandom);
    ASSERT_TRUE(realCreateDirectoryW((temp / L"~setup.exe").c_str(), nullptr));
    WriteBytes(temp / L"~setup.exe\\setup.exe", std::string("planted"));
    WriteBytes(temp / KnownName(0), std::string("a file"));
    ASSERT_TRUE(realCreateDirectoryW((temp / KnownName(1)).c_str(), nullptr));

    EXPECT_EQ(temp / KnownName(2) + L"\\", Create(base));
    ASSERT_EQ(4u, createCalls.size());
    for (const CreateCall& call : createCalls) EXPECT_EQ(kProtectedList, call.security) << Narrow(call.path);
    EXPECT_EQ(temp / KnownName(1), createCalls[2].path);
    EXPECT_EQ((std::vector<std::wstring>{L"setup.exe"}), ListTree(temp / L"~setup.exe\\"));
    EXPECT_EQ((std::vector<std::wstring>{}), ListTree(temp / KnownName(1) + L"\\"));
    EXPECT_EQ((std::vector<std::wstring>{}), ListTree(temp / KnownName(2) + L"\\"));
}

// Anyone may make folders in a shared temporary folder. A thousand names
// made in advance, the fixed one and ".1" to ".999", stop no run: the
// system's random source names a folder no one made.
TEST_F(PrivateFolder, AThousandPlantedNamesLeaveTheRunAFreeOne) {
    std::vector<std::wstring> planted = {L"~setup.exe\\"};
    for (int number = 1; number < 1000; number++) planted.push_back(L"~setup.exe." + std::to_wstring(number) + L"\\");
    for (const std::wstring& name : planted) ASSERT_TRUE(realCreateDirectoryW((temp / name).c_str(), nullptr));
    std::sort(planted.begin(), planted.end());

    std::wstring made = Create(base);
    ASSERT_EQ(2u, createCalls.size());
    EXPECT_EQ(temp / L"~setup.exe", createCalls[0].path);
    EXPECT_EQ(createCalls[1].path + L"\\", made);
    std::wstring name = made.substr(temp.path().size());
    ASSERT_EQ(L"~setup.exe.", name.substr(0, 11)) << Narrow(name);
    EXPECT_EQ(28u, name.size()) << Narrow(name);  // 16 hex digits and the backslash
    EXPECT_EQ(std::wstring::npos, name.substr(11, 16).find_first_not_of(L"0123456789ABCDEF")) << Narrow(name);
    planted.push_back(name);
    std::sort(planted.begin(), planted.end());
    EXPECT_EQ(planted, ListTree(temp.path()));
}

// Only a source that names taken folders again and again (here: the
// planted ones, a thousand) or fails ends the tries, after a bounded
// number: nothing is made, nothing planted is touched, and the caller's
// path is as it was.
TEST_F(PrivateFolder, GivesUpAfterSixteenTakenRandomNamesOrAFailedSource) {
    std::vector<std::wstring> planted = {L"~setup.exe\\"};
    for (unsigned call = 0; call < plantedNames; call++) planted.push_back(KnownName(call) + L"\\");
    for (const std::wstring& name : planted) ASSERT_TRUE(realCreateDirectoryW((temp / name).c_str(), nullptr));
    WriteBytes(temp / L"~setup.exe\\setup.exe", std::string("planted"));
    planted.push_back(L"~setup.exe\\setup.exe");
    std::sort(planted.begin(), planted.end());
    const struct {
        const char* source;
        BOOLEAN(WINAPI* random)(PVOID, ULONG);
        unsigned calls;
    } rows[] = {{"taken names", KnownRandom, 16}, {"failing", FailingRandom, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.source);
        if (randomSource_) PatchImports(randomSource_, (void*)realRandom);
        ReplaceRandomSource(row.random);
        createCalls.clear();
        randomCalls = 0;
        WCHAR folder[kDestinationChars];
        lstrcpynW(folder, base.c_str(), kDestinationChars);

        EXPECT_FALSE(CreatePrivateFolder(folder));
        EXPECT_EQ(base, folder);
        EXPECT_EQ(row.calls, randomCalls);
        EXPECT_EQ(row.calls == 1 ? 1u : 17u, createCalls.size());
        EXPECT_EQ(planted, ListTree(temp.path()));
    }
}

TEST_F(PrivateFolder, FailsWhereNoFolderCanBeMade) {
    // No temporary folder to make it in.
    EXPECT_EQ(L"", Create(temp / L"missing\\~setup.exe\\"));
    EXPECT_EQ(1u, createCalls.size());
    // No room for a random part: the name alone is not tried either. One
    // character less, and it is.
    std::wstring longName = temp / (std::wstring(kDestinationChars - 17 - temp.path().size(), L'n') + L"\\");
    EXPECT_EQ(L"", Create(longName));
    EXPECT_EQ(1u, createCalls.size());
    std::wstring fitting = temp / (std::wstring(kDestinationChars - 18 - temp.path().size(), L'n') + L"\\");
    EXPECT_EQ(fitting, Create(fitting));
    EXPECT_EQ(2u, createCalls.size());
}

}  // namespace
