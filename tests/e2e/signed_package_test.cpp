// A package built with its CRC and a command, then signed by osslsigncode
// (signed.exe, made at build time): the module checks the CRC up to the
// certificate table, and only a table it can trust ends the checked range.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>

#include "base/crc32_core.h"
#include "base/image_end.h"
#include "base/package_header.h"
#include "support/e2e/module_run.h"
#include "support/test_files.h"

namespace {

uint32_t U32At(const std::vector<unsigned char>& bytes, size_t offset) {
    uint32_t value = 0;
    memcpy(&value, &bytes.at(offset), sizeof(value));
    return value;
}

void PutU32(std::vector<unsigned char>& bytes, size_t offset, uint32_t value) {
    memcpy(&bytes.at(offset), &value, sizeof(value));
}

// The image's security directory (data directory 4), by layout.
size_t DirectoryAt(const std::vector<unsigned char>& package) {
    size_t optional = U32At(package, 0x3C) + 24;
    bool plus = (package.at(optional) | package.at(optional + 1) << 8) == 0x020B;
    return optional + (plus ? 144 : 128);
}

class SignedPackage : public ::testing::Test {
protected:
    void SetUp() override { PrepareSetup(record_, L""); }
    void TearDown() override {
        DeleteFileW(record_.c_str());
        DeleteFileW((record_ + L".done").c_str());
    }

    // Stores in the header the CRC of the bytes from its end up to end.
    static void StoreCrcUpTo(std::vector<unsigned char>& package, size_t end) {
        size_t imageEnd = ImageEndFromBytes(package.data(), package.size());
        size_t from = imageEnd + kHeaderSize;
        static Crc32Tables tables;
        Crc32BuildTables(tables);
        uint32_t crc = ~Crc32Fold(tables, 0xFFFFFFFFu, package.data() + from, end - from);
        PutU32(package, imageEnd + offsetof(PackageHeader, PackageCrc), crc);
    }

    TempFolder folder_;
    std::wstring package_ = folder_ / L"package.exe";
    std::wstring out_ = folder_ / L"out\\";
    std::wstring record_ = folder_ / L"setup-record.txt";
};

TEST_F(SignedPackage, RunsItsCommandUnlessTheCheckedRangeChanged) {
    const std::vector<unsigned char> original = ReadBytes(FixturePath("signed.exe"));
    const size_t directory = DirectoryAt(original), table = U32At(original, directory);
    const size_t headerEnd = ImageEndFromBytes(original.data(), original.size()) + kHeaderSize;
    ASSERT_GT(headerEnd, kHeaderSize);
    ASSERT_EQ(original.size(), table + U32At(original, directory + 4)) << "signed.exe is not signed";
    ASSERT_NE(0u, U32At(original, headerEnd - kHeaderSize + offsetof(PackageHeader, PackageCrc)));
    // An aligned place inside the cabinet; its bytes are no certificate entry.
    const size_t inCabinet = (headerEnd + 1000) / 8 * 8;
    ASSERT_NE(0x00020200u, U32At(original, inCabinet + 4));
    struct Row {
        const char* name;
        std::function<void(std::vector<unsigned char>&)> change;
        bool runs;
    } rows[] = {
        {"as signed", [](std::vector<unsigned char>&) {}, true},
        {"a byte changed inside the cabinet", [&](std::vector<unsigned char>& p) { p[headerEnd + 2000] ^= 0x01; },
         false},
        {"a byte changed inside the certificate", [&](std::vector<unsigned char>& p) { p[table + 200] ^= 0x01; },
         true},
        // The stored CRC still covers exactly up to the offset named: had the
        // module trusted these directories, the check would pass.
        {"the directory points past the end of the file",
         [&](std::vector<unsigned char>& p) { PutU32(p, directory + 4, U32At(p, directory + 4) + 8); }, false},
        {"the directory points at bytes that are no certificate entry",
         [&](std::vector<unsigned char>& p) {
             PutU32(p, directory, (uint32_t)inCabinet);
             PutU32(p, directory + 4, (uint32_t)(p.size() - inCabinet));
             StoreCrcUpTo(p, inCabinet);
         },
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<unsigned char> package = original;
        row.change(package);
        WriteBytes(package_, package);

        ModuleRun run;
        ASSERT_TRUE(run.Start(package_));
        if (!row.runs) EXPECT_EQ(L"CRC check error!", run.Answer(L"Warning", IDOK));
        EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());
        EXPECT_EQ(row.runs ? SampleTree : std::vector<std::wstring>(), ListTree(out_));
        SetupRecord setup = ReadSetupRecord(record_);
        EXPECT_EQ(row.runs, setup.present) << "whether setup.exe ran";
        if (setup.present) EXPECT_TRUE(WaitUntil([&] { return FileExists(record_ + L".done"); }));
        DeleteFileW(record_.c_str());
        DeleteFileW((record_ + L".done").c_str());
        EXPECT_TRUE(RemoveCommandFolder(out_));
    }
}

}  // namespace
