// Our cabinet reader: the structures of cabinets vuvpack did not write
// (reserve areas, neighbouring cabinets, several methods), and damage.
#include <functional>

#include "support/tool_test.h"
#include "vuvpack/cabinet/cabinet_format.h"
#include "vuvpack/cabinet/cabinet_summary.h"

namespace {

void Append16(Bytes* bytes, uint32_t value) {
    bytes->push_back((uint8_t)value);
    bytes->push_back((uint8_t)(value >> 8));
}

void Append32(Bytes* bytes, uint32_t value) {
    Append16(bytes, value);
    Append16(bytes, value >> 16);
}

void AppendText(Bytes* bytes, const std::string& text) {
    bytes->insert(bytes->end(), text.begin(), text.end());
    bytes->push_back(0);
}

// Header with reserve areas (4 bytes, 2 per folder) and both neighbours,
// an LZX folder of window 2^16 and an MSZIP folder, two files; no data.
Bytes ReserveCabinet() {
    Bytes cab;
    AppendText(&cab, "MSCF");
    cab.pop_back();
    Append32(&cab, 0);
    Append32(&cab, 0);  // cbCabinet, set below
    Append32(&cab, 0);
    Append32(&cab, 0);  // coffFiles, set below
    Append32(&cab, 0);
    cab.push_back(3);
    cab.push_back(1);
    Append16(&cab, 2);       // cFolders
    Append16(&cab, 2);       // cFiles
    Append16(&cab, 0x0007);  // previous, next, reserve
    Append16(&cab, 0x1234);
    Append16(&cab, 1);
    Append16(&cab, 4);  // cbCFHeader
    cab.push_back(2);   // cbCFFolder
    cab.push_back(0);   // cbCFData
    Append32(&cab, 0xA5A5A5A5);
    for (const char* name : {"prev.cab", "disk 1", "next.cab", "disk 3"}) AppendText(&cab, name);
    for (uint32_t method : {0x1003u, 0x0001u}) {
        Append32(&cab, 0);
        Append16(&cab, 3);
        Append16(&cab, method);
        Append16(&cab, 0xA5A5);
    }
    PutU32(&cab, 16, (uint32_t)cab.size());
    for (int i = 0; i < 2; i++) {
        Append32(&cab, 1000 + i);
        Append32(&cab, 0);
        Append16(&cab, i);
        Append16(&cab, 0x5A21);
        Append16(&cab, 0x6000);
        Append16(&cab, 0x20);
        AppendText(&cab, "file" + std::to_string(i));
    }
    PutU32(&cab, 8, (uint32_t)cab.size());
    return cab;
}

TEST(CabinetSummary, ReserveAreasNeighboursAndMethodsAreRead) {
    Bytes cab = ReserveCabinet();
    CabinetSummary summary;
    std::string problem;
    ASSERT_TRUE(SummarizeCabinetBytes(cab.data(), cab.size(), cab.size(), &summary, &problem)) << problem;
    EXPECT_EQ(cab.size(), summary.size);
    EXPECT_EQ(2u, summary.folders);
    EXPECT_EQ(2u, summary.files);
    EXPECT_EQ(2001u, summary.totalBytes);
    EXPECT_EQ((std::vector<std::string>{"LZX", "MSZIP"}), summary.compression);
    ASSERT_EQ(2u, summary.folderList.size());
    EXPECT_EQ(16, summary.folderList[0].windowBits);
    EXPECT_EQ(3u, summary.folderList[0].dataBlocks);
    EXPECT_EQ(0, summary.folderList[1].windowBits);
}

TEST(CabinetSummary, DamageIsAProblemNotARead) {
    const Bytes sound = ReserveCabinet();
    const size_t filesAt = U32At(sound, 16);
    const struct {
        const char* what;
        std::function<void(Bytes*)> damage;
        const char* problem;
    } cases[] = {
        {"signature", [](Bytes* cab) { (*cab)[0] = 'X'; }, "no cabinet header"},
        {"cut short", [](Bytes* cab) { cab->resize(cab->size() - 1); }, "truncated"},
        {"file in a folder that is not there", [=](Bytes* cab) { PutU16(cab, filesAt + 8, 2); },
         "file entry 0 names folder 2 of 2"},
        {"name without its end", [](Bytes* cab) { cab->back() = 'x'; }, "a file name is cut off"},
        {"folders past the end", [](Bytes* cab) { PutU16(cab, 26, 900); }, "its folder entries are cut off"},
        {"files past the end", [](Bytes* cab) { PutU16(cab, 28, 3); }, "its file entries are cut off"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        Bytes cab = sound;
        row.damage(&cab);
        CabinetSummary summary;
        std::string problem;
        EXPECT_FALSE(SummarizeCabinetBytes(cab.data(), cab.size(), cab.size(), &summary, &problem));
        EXPECT_EQ(0u, problem.find(row.problem)) << problem;
    }
}

}  // namespace
