// Network texts of the completion: the server and share logic against a
// fake provider with a known network, and the real provider library, which
// must come from the system folder, at run time only (this machine's
// provider has no servers, so there every network text ends silently).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/string_list.h"
#include "support/test_files.h"
#include "support/ui/fake_network.h"
#include "ui/completion_popup.h"

namespace {

std::vector<std::string> ImportedLibraries() {
    BYTE* base = (BYTE*)GetModuleHandleW(nullptr);
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    std::vector<std::string> names;
    IMAGE_DATA_DIRECTORY imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + imports.VirtualAddress); d->Name; d++)
        names.push_back((const char*)(base + d->Name));
    IMAGE_DATA_DIRECTORY delayed = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
    if (delayed.VirtualAddress)
        for (IMAGE_DELAYLOAD_DESCRIPTOR* d = (IMAGE_DELAYLOAD_DESCRIPTOR*)(base + delayed.VirtualAddress); d->DllNameRVA; d++)
            names.push_back((const char*)(base + d->DllNameRVA));
    return names;
}

std::vector<std::wstring> Candidates() {
    std::vector<std::wstring> out;
    for (const WCHAR* entry = StringListFirst(&G.PathList); entry; entry = StringListNext(&G.PathList))
        out.push_back(entry);
    return out;
}

TEST(NetworkCompletion, ServersAndSharesComeFromTheFirstDomainOnly) {
    UseFakeNetwork();
    const struct {
        const wchar_t* text;
        std::vector<std::wstring> candidates;
    } rows[] = {
        {L"\\", {L"\\\\ALPHA", L"\\\\BRAVO"}},
        {L"\\\\a", {L"\\\\ALPHA"}},
        {L"\\\\", {L"\\\\ALPHA", L"\\\\BRAVO"}},
        {L"\\\\A\\", {L"\\\\ALPHA\\docs", L"\\\\ALPHA\\tools"}},
        {L"\\\\bravo\\", {L"\\\\BRAVO\\data"}},
        {L"\\\\Z\\", {}},
        {L"\\\\C", {}},           // a server of the second domain
        {L"\\\\CHARLIE\\", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.text));
        fakeNetwork.openedContainers.clear();
        EXPECT_EQ((int)row.candidates.size(), CollectFolderCandidates(row.text));
        EXPECT_EQ(row.candidates, Candidates());
        EXPECT_EQ(0, StringListCount(&G.ServerList));
        EXPECT_EQ(fakeNetwork.opened, fakeNetwork.closed);
        for (const std::wstring& container : fakeNetwork.openedContainers) EXPECT_NE(L"DOMAIN2", container);
    }
    EXPECT_EQ(nullptr, GetModuleHandleW(L"mpr.dll"));
}

TEST(NetworkCompletion, FailuresEndSilently) {
    const struct {
        const char* name;
        DWORD openResult;
        int moreDataAt;
        const wchar_t* text;
        std::vector<std::wstring> candidates;
    } rows[] = {
        {"open fails", ERROR_NO_NETWORK, -1, L"\\", {}},
        {"open of shares fails", ERROR_NO_NETWORK, -1, L"\\\\A\\", {}},
        // The entries come in this order: DOMAIN1, then \\ALPHA, then \\BRAVO.
        {"domain needs more room", NO_ERROR, 0, L"\\", {}},
        {"server needs more room", NO_ERROR, 2, L"\\", {L"\\\\ALPHA"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UseFakeNetwork();
        fakeNetwork.openResult = row.openResult;
        fakeNetwork.moreDataAt = row.moreDataAt;
        EXPECT_EQ((int)row.candidates.size(), CollectFolderCandidates(row.text));
        EXPECT_EQ(row.candidates, Candidates());
        EXPECT_EQ(0, StringListCount(&G.ServerList));
        EXPECT_EQ(fakeNetwork.opened, fakeNetwork.closed);
    }
}

TEST(NetworkCompletion, TheProviderLibraryIsNeverImported) {
    // This program holds the completion code, so its import table would
    // name the library if the code imported it.
    std::vector<std::string> names = ImportedLibraries();
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names) EXPECT_NE(0, _stricmp(name.c_str(), "mpr.dll")) << name;
}

TEST(NetworkCompletion, NetworkTextsEndSilentlyAndLoadTheProviderFromTheSystemFolder) {
    ASSERT_EQ(nullptr, GetModuleHandleW(L"mpr.dll")) << "something else loaded the provider library";
    // Folder texts do not need it.
    CollectFolderCandidates(L"C:\\");
    EXPECT_EQ(nullptr, GetModuleHandleW(L"mpr.dll"));

    for (const wchar_t* text : {L"\\", L"\\\\", L"\\\\SER", L"\\\\SER\\", L"\\\\\\"}) {
        SCOPED_TRACE(Narrow(text));
        EXPECT_EQ(0, CollectFolderCandidates(text));
        EXPECT_EQ(0, StringListCount(&G.PathList));
        EXPECT_EQ(0, StringListCount(&G.ServerList));
    }

    HMODULE library = GetModuleHandleW(L"mpr.dll");
    ASSERT_NE(nullptr, library);
    EXPECT_EQ(library, G.Network.library);
    WCHAR loaded[MAX_PATH], system[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(library, loaded, MAX_PATH), 0u);
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    EXPECT_EQ(0, lstrcmpiW((std::wstring(system) + L"\\mpr.dll").c_str(), loaded)) << Narrow(loaded);
}

TEST(NetworkCompletion, AShareWithAFolderPartIsSearchedAsAFolder) {
    // \\SER\share\x goes to the folder search, which finds no such share.
    EXPECT_EQ(0, CollectFolderCandidates(L"\\\\VUVNOSERVER\\share\\x"));
    EXPECT_EQ(0, StringListCount(&G.PathList));
}

}  // namespace
