// Damaged compressed data that makes the system's cabinet library fault
// (Wine's, at least): a whole run of the module ends with string 24 and
// no crash report, no command runs, no part of a file stays behind a
// stored name, and a file that was there before is still there. Where the library copes, the same holds through its error.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "support/e2e/module_run.h"
#include "support/harden/stored_files.h"
#include "support/test_files.h"

namespace {

// MSZIP blocks with flipped bytes; a cabinet of stored data that claims
// Quantum compression.
class LibraryFault : public ::testing::TestWithParam<const char*> {};

TEST_P(LibraryFault, DamagedDataEndsWithString24AndNoPartFile) {
    std::wstring archive = Widen(VUV_SOURCE_DIR "/tests/harden/fixtures/") + Widen(GetParam());
    std::vector<unsigned char> cabinet = ReadBytes(archive);
    ASSERT_FALSE(cabinet.empty());
    std::map<std::wstring, uint32_t> stored = StoredFiles(cabinet);
    TempFolder folder;
    std::wstring destination = folder / L"out\\";
    std::wstring record = folder / L"setup-record.txt";
    PrepareSetup(record, L"");
    // Every stored name exists already: none may be lost to the fault.
    for (const auto& file : stored) {
        std::wstring path = destination + file.first;
        for (size_t at = path.find(L'\\', folder.path().size()); at != std::wstring::npos; at = path.find(L'\\', at + 1))
            CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
        WriteBytes(path, std::string("OLD-CONTENT"));
    }

    ModuleRun run;
    ASSERT_TRUE(run.Start(StubPath(), L"/E:setup.exe /H /O " + Quoted(archive) + L" " +
                                                       Quoted(WithoutTrailingBackslash(destination))));
    EXPECT_EQ(L"The archive is damaged or could not be extracted completely.", run.Answer(L"VUV-UZU", IDOK));
    run.WaitForEnd();

    EXPECT_FALSE(FileExists(record)) << "the command ran";
    for (const std::wstring& entry : ListTree(destination)) {
        if (entry.back() == L'\\') continue;
        auto file = stored.find(entry);
        ASSERT_NE(stored.end(), file) << "not a stored name: " << Narrow(entry);
        std::vector<unsigned char> bytes = ReadBytes(destination + entry);
        bool old = std::string(bytes.begin(), bytes.end()) == "OLD-CONTENT";
        EXPECT_TRUE(old || file->second == bytes.size()) << Narrow(entry) << " is a part of the stored file";
    }
    for (const auto& file : stored) EXPECT_TRUE(FileExists(destination + file.first)) << Narrow(file.first) << " is gone";
}

INSTANTIATE_TEST_SUITE_P(Cabinets, LibraryFault,
                         ::testing::Values("mszip-damaged-data.cab", "quantum-damaged-data.cab"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, std::string(info.param).find('-'));
                         });

}  // namespace
