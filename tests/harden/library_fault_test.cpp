// Damaged compressed data that makes the system's cabinet library fault
// (Wine's, at least): a whole run of the module ends with string 24 and
// no crash report, no command runs, and no part of a file stays behind a
// stored name. Where the library copes, the same holds through its error.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "../e2e/module_run.h"
#include "stored_files.h"
#include "test_files.h"

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
        EXPECT_EQ(file->second, bytes.size()) << Narrow(entry) << " is a part of the stored file";
    }
}

INSTANTIATE_TEST_SUITE_P(Cabinets, LibraryFault,
                         ::testing::Values("mszip-damaged-data.cab", "quantum-damaged-data.cab"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, std::string(info.param).find('-'));
                         });

}  // namespace
