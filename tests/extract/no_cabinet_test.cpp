// Runs with the system's cabinet library switched off for this process
// (WINEDLLOVERRIDES=cabinet=d): the worker shows its box, writes nothing
// and still ends the phase.
#include <gtest/gtest.h>

#include "app/extraction_phase.h"
#include "base/state.h"
#include "support/answer_box.h"
#include "support/cab_writer.h"
#include "support/extract/engine_run.h"
#include "support/test_files.h"

TEST(NoCabinetLibrary, LibraryCannotBeLoadedHere) {
    EXPECT_EQ(nullptr, LoadLibraryA("C:\\windows\\system32\\cabinet.dll"));
}

TEST(NoCabinetLibrary, WorkerShowsItsBoxWritesNothingAndEndsThePhase) {
    TempFolder temp;
    CabContents contents;
    contents.files = {{"a.txt", "a"}, {"b/c.txt", "c"}};
    std::vector<unsigned char> cabinet = BuildCabinet(contents);
    WriteBytes(temp / L"archive.cab", cabinet);
    std::wstring destination = temp / L"out\\";
    ASSERT_TRUE(CreateDirectoryW(destination.c_str(), nullptr));
    PrepareExtraction(temp / L"archive.cab", 0, destination);

    BoxAnswerer boxes;
    EXPECT_EQ(-1, RunExtractionPhase((LONG)cabinet.size()));
    EXPECT_TRUE(OneBox(boxes.Stop(), {L"Vorbel", L"CABINET.DLL not found.", nullptr}));
    EXPECT_EQ(-1, G.AbortCode);
    EXPECT_FALSE(IsWindow(G.ProgressWindow));
    EXPECT_TRUE(ListTree(destination).empty());
}
