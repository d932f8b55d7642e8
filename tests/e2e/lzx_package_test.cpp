// Packages whose cabinet vuvpack compressed with LZX, through the system's
// cabinet library: every byte comes out, and a damaged one is reported.
#include <gtest/gtest.h>

#include "support/e2e/module_run.h"
#include "support/test_files.h"

namespace {

const wchar_t ExtractionFailed[] = L"The archive is damaged or could not be extracted completely.";

uint32_t Get32(const std::vector<unsigned char>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | (uint32_t)bytes[at + 3] << 24;
}

void Put32(std::vector<unsigned char>* bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++) (*bytes)[at + i] = (unsigned char)(value >> (8 * i));
}

// A data block's checksum: its data, then cbData and cbUncomp, folded as
// little-endian words with the last one to three bytes highest first.
uint32_t DataChecksum(const std::vector<unsigned char>& cabinet, size_t block) {
    size_t size = cabinet[block + 4] | cabinet[block + 5] << 8;
    std::vector<unsigned char> bytes(cabinet.begin() + block + 8, cabinet.begin() + block + 8 + size);
    bytes.insert(bytes.end(), cabinet.begin() + block + 4, cabinet.begin() + block + 8);
    uint32_t sum = 0;
    size_t whole = size / 4 * 4;
    for (size_t i = 0; i < whole; i += 4) sum ^= Get32(bytes, i);
    uint32_t last = 0;
    for (size_t i = whole; i < size; i++) last = last << 8 | bytes[i];
    sum ^= last;
    return sum ^ Get32(bytes, size);
}

class LzxPackage : public ::testing::Test {
protected:
    void TearDown() override { RemoveTree(out_); }

    // The LZX cabinet of a package made at build time, in a package that
    // extracts into out_ without a question.
    void WritePackage(const std::vector<unsigned char>& cabinet) { WriteBytes(package_, MakePackage({}, cabinet)); }

    TempFolder folder_;
    std::wstring package_ = folder_ / L"package.exe";
    std::wstring out_ = folder_ / L"out\\";
};

TEST_F(LzxPackage, EveryFileComesOutByteForByte) {
    std::wstring payload = FixturePath("lzx_payload") + L"\\";
    std::vector<std::wstring> tree = ListTree(payload);
    ASSERT_GT(tree.size(), 8u);
    for (const char* name : {"lzx21.exe", "lzx15.exe", "lzx21-fast.exe", "lzx21-best.exe"}) {
        SCOPED_TRACE(name);
        WritePackage(CabinetOf(ReadBytes(FixturePath(name))));
        ModuleRun run;
        ASSERT_TRUE(run.Start(package_));
        EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd(120000));
        ASSERT_EQ(tree, ListTree(out_));
        for (const std::wstring& file : tree) {
            if (file.back() == L'\\') continue;
            EXPECT_TRUE(ReadBytes(payload + file) == ReadBytes(out_ + file)) << Narrow(file);
        }
        RemoveTree(out_);
    }
}

// A byte of the first data block changed: in its middle with the checksum
// left (the library's checksum check finds it), or in the first block's
// type with the checksum recomputed (1, verbatim, becomes 6, which no
// decoder knows). Either way the damaged-archive box, and no file is left
// (the folder of the first file, made before its data was read, stays).
TEST_F(LzxPackage, DamagedDataIsReportedAndNoFileIsLeft) {
    std::vector<unsigned char> sound = CabinetOf(ReadBytes(FixturePath("lzx21.exe")));
    size_t block = Get32(sound, 36);  // the first folder's first data block
    size_t blockSize = sound[block + 4] | sound[block + 5] << 8;
    ASSERT_EQ(DataChecksum(sound, block), Get32(sound, block)) << "the test's checksum is the writer's";
    for (bool recompute : {false, true}) {
        SCOPED_TRACE(recompute ? "block type, checksum recomputed" : "checksum left");
        std::vector<unsigned char> cabinet = sound;
        if (recompute) {
            // Bits 33-35 of the stream, after the E8 flag and file size.
            cabinet[block + 8 + 5] ^= 0x70;
            Put32(&cabinet, block, DataChecksum(cabinet, block));
        } else {
            cabinet[block + 8 + blockSize / 2] ^= 0x01;
        }
        WritePackage(cabinet);
        ModuleRun run;
        ASSERT_TRUE(run.Start(package_));
        EXPECT_EQ(ExtractionFailed, run.Answer(L"VUV-UZU", IDOK));
        EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());
        for (const std::wstring& left : ListTree(out_)) EXPECT_EQ(L'\\', left.back()) << Narrow(left);
        RemoveTree(out_);
    }
}

}  // namespace
