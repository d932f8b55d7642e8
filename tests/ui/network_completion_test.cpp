// Network texts of the completion. This machine's network provider has no
// servers, so every network text must end silently with no candidates; the
// provider library must come from the system folder, at run time only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/string_list.h"
#include "test_files.h"
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
