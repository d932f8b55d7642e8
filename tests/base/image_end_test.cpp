#include <gtest/gtest.h>

#include "app/package.h"
#include "base/file_access.h"
#include "support/pe_image.h"
#include "support/test_files.h"

static DWORD ImageEndOfFile(const std::wstring& path) {
    HANDLE file = FileOpen(path.c_str(), kOpenBinary, kShareDenyNone, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file) << Narrow(path);
    if (file == INVALID_HANDLE_VALUE) return 0xDEADBEEF;
    DWORD imageEnd = FindImageEnd(file);
    FileClose(file);
    return imageEnd;
}

static DWORD ImageEndOf(const std::vector<unsigned char>& bytes) {
    TempFolder folder;
    WriteBytes(folder / L"image.exe", bytes);
    return ImageEndOfFile(folder / L"image.exe");
}

// The stub is stripped and carries nothing behind its image: its image
// ends where the file ends.
TEST(FindImageEnd, BuiltProgramEndsAtItsFileSize) {
    std::wstring stub = StubPath();
    size_t size = ReadBytes(stub).size();
    ASSERT_GT(size, 4096u);
    EXPECT_EQ(size, ImageEndOfFile(stub));
}

TEST(FindImageEnd, BuiltProgramWithAPackageBehindIt) {
    std::vector<unsigned char> bytes = ReadBytes(StubPath());
    size_t imageSize = bytes.size();
    AppendHeader(bytes, MakeHeader());
    bytes.resize(bytes.size() + 70000, 0x5A);
    EXPECT_EQ(imageSize, ImageEndOf(bytes));
}

TEST(FindImageEnd, HandMadeImages) {
    const uint32_t kRead = kScnMemRead, kData = kScnInitializedData, kCode = kScnCode | kScnMemExecute;
    const std::vector<PeSection> typical = {{0x400, 0x1000, kCode | kRead}, {0x1400, 0x600, kData | kRead},
                                            {0x1A00, 0x200, kData}};
    PeLayout smallOptional;
    smallOptional.optionalSize = 0;
    const struct {
        const char* name;
        std::vector<PeSection> sections;
        size_t size;
        PeLayout layout;
        DWORD expected;
    } rows[] = {
        {"three sections: end of the last one", typical, 4096, {}, 0x1C00},
        {"only the first 4096 bytes are looked at", typical, 100000, {}, 0x1C00},
        {"512 bytes are enough", {{0x200, 0x100, kRead}, {0x300, 0x100, kData}}, 512, smallOptional, 0x400},
        {"511 bytes are too short", {{0x200, 0x100, kRead}, {0x300, 0x100, kData}}, 511, smallOptional, 0},
        {"the last section's flags don't matter", {{0x400, 0x200, kRead}, {0x600, 0x80, 0}}, 4096, {}, 0x680},
        {"one section", {{0x400, 0x300, kCode}}, 4096, {}, 0x700},
        {"no sections", {}, 4096, {}, 0},
        {"a section without the flags before the last", {{0x400, 0x200, kCode | kScnMemExecute}, {0x600, 0x200, kRead}},
         4096, {}, 0},
        {"no section has the flags", {{0x400, 0x200, kCode}, {0x600, 0x200, 0}, {0x800, 0x200, 0}}, 4096, {}, 0},
        {"read-only sections count as well as data", {{0x400, 0x200, kRead}, {0x600, 0x200, kRead}}, 4096, {}, 0x800},
        {"more sections than the first 4096 bytes hold", std::vector<PeSection>(200, {0x400, 0x200, kRead}), 100000,
         {}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.expected, ImageEndOf(MakePeImage(row.sections, row.size, row.layout)));
    }
}

TEST(FindImageEnd, BrokenHeaders) {
    const std::vector<PeSection> sections = {{0x400, 0x200, kScnMemRead}, {0x600, 0x200, kScnMemRead}};
    const struct {
        const char* name;
        int32_t peOffset;
        uint16_t optionalSize;
        uint16_t sectionCount;
        uint32_t peSignature;
        DWORD expected;
    } rows[] = {
        {"valid", 0x80, 0xE0, 0xFFFF, 0x4550, 0x800},
        {"e_lfanew 0", 0, 0, 0xFFFF, 0x4550, 0},
        {"e_lfanew negative", -8, 0, 0xFFFF, 0x4550, 0},
        {"e_lfanew 312 bytes before the end of the read", 4096 - 312, 0, 0xFFFF, 0x4550, 0},
        {"e_lfanew 313 bytes before the end of the read", 4096 - 313, 0, 0xFFFF, 0x4550, 0x800},
        {"e_lfanew far beyond the read", 0x7FFFFFF0, 0, 0xFFFF, 0x4550, 0},
        {"signature PE without its zero bytes", 0x80, 0xE0, 0xFFFF, 0x00454550, 0},
        {"signature NE", 0x80, 0xE0, 0xFFFF, 0x454E, 0},
        {"section table beyond the read", 0x80, 0xF000, 0xFFFF, 0x4550, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PeLayout layout;
        layout.peOffset = row.peOffset;
        layout.optionalSize = row.optionalSize;
        layout.sectionCount = row.sectionCount;
        layout.peSignature = row.peSignature;
        EXPECT_EQ(row.expected, ImageEndOf(MakePeImage(sections, 4096, layout)));
    }
}

TEST(FindImageEnd, WrongMagicAndEmptyFile) {
    std::vector<unsigned char> bytes = MakePeImage({{0x400, 0x200, kScnMemRead}, {0x600, 0x200, kScnMemRead}}, 4096);
    ASSERT_EQ(0x800u, ImageEndOf(bytes));
    bytes[1] = 'X';
    EXPECT_EQ(0u, ImageEndOf(bytes));
    bytes[0] = 'Z';
    bytes[1] = 'M';
    EXPECT_EQ(0u, ImageEndOf(bytes));
    EXPECT_EQ(0u, ImageEndOf({}));
}

TEST(FindImageEnd, FailedReadGivesZero) {
    TempFolder folder;
    HANDLE file = FileOpen((folder / L"out.bin").c_str(), kOpenWriteOnly | kOpenCreate, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(0u, FindImageEnd(file));
    FileClose(file);
}
