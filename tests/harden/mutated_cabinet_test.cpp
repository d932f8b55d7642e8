// Cabinets the fuzz harness found to fault the system's cabinet library,
// kept as cases: the engine refuses them before the library sees them.
#include <gtest/gtest.h>

#include "base/state.h"
#include "extract/cabinet_header.h"
#include "support/cab_writer.h"
#include "support/extract/engine_run.h"
#include "support/test_files.h"

namespace {

CabContents TwoFiles() {
    CabContents contents;
    contents.files = {{"readme.txt", "read me"}, {"data.bin", std::string(70000, 'd')}};
    return contents;
}

// Files announced, folder count zero, and more damage around it: Wine's
// library faults on these (cases of the fuzz run with seed 0x5EED, kept
// as found; the number after "at" is where the cabinet starts).
TEST(MutatedCabinet, FilesWithoutAFolderAreRefusedBeforeTheLibrary) {
    struct Found {
        const char* file;
        long offset;
    } found[] = {{"case-760.cab", 0}, {"case-1378-at-6002.cab", 6002}, {"case-1796.cab", 0}};
    for (const Found& c : found) {
        SCOPED_TRACE(c.file);
        std::vector<unsigned char> archive = ReadBytes(Widen(VUV_SOURCE_DIR "/tests/harden/fixtures/") + Widen(c.file));
        ASSERT_FALSE(archive.empty());
        TempFolder temp;
        G.AbortCode = 0;
        EXPECT_EQ(-1, ExtractOnThisThread(temp / L"x.cab", archive, c.offset, temp / L"out\\"));
        EXPECT_FALSE(CabinetHeaderUsable((temp / L"x.cab").c_str(), c.offset));
        EXPECT_TRUE(ListTree(temp / L"out\\").empty());
    }
}

TEST(MutatedCabinet, SoundOrUnreadableHeadersAreLeftToTheLibrary) {
    TempFolder temp;
    std::vector<unsigned char> cabinet = BuildCabinet(TwoFiles());
    WriteBytes(temp / L"sound.cab", cabinet);
    EXPECT_TRUE(CabinetHeaderUsable((temp / L"sound.cab").c_str(), 0));
    std::vector<unsigned char> empty = cabinet;
    empty[26] = empty[27] = empty[28] = empty[29] = 0;  // no folder and no file
    WriteBytes(temp / L"empty.cab", empty);
    EXPECT_TRUE(CabinetHeaderUsable((temp / L"empty.cab").c_str(), 0));
    cabinet.resize(20);
    WriteBytes(temp / L"short.cab", cabinet);
    EXPECT_TRUE(CabinetHeaderUsable((temp / L"short.cab").c_str(), 0));
    EXPECT_TRUE(CabinetHeaderUsable((temp / L"missing.cab").c_str(), 0));
}

}  // namespace
