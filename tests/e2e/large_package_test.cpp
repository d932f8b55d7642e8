// Packages at the size limits: a cabinet holds at most 2,147,483,647 bytes
// (the cabinet library's offsets are 32-bit signed), so a package with a
// CRC may pass 2 GiB. The large packages are sparse files: a cabinet whose
// one file's data lies at its very end, behind a hole of zeros. They run
// on the 64-bit product only: a 32-bit process under the emulator can't
// map that much data.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/crc32_core.h"
#include "base/package_header.h"
#include "support/cab_writer.h"
#include "support/e2e/module_run.h"
#include "support/pe_image.h"
#include "support/test_files.h"

namespace {

constexpr DWORD LargeRunMs = 120000;  // the CRC pass reads every byte
constexpr ULONGLONG MaxCabinet = 0x7FFFFFFF;
const std::string Content = "whole at the end\r\n";

void PutU32(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++) bytes[at + i] = (unsigned char)(value >> (8 * i));
}

// The cabinet's first bytes: header, one uncompressed folder whose one
// data block starts at dataAt, and one file entry, "large.txt".
std::vector<unsigned char> CabinetHead(uint32_t cabinetSize, uint32_t dataAt) {
    std::vector<unsigned char> head(44, 0);
    memcpy(head.data(), "MSCF", 4);
    PutU32(head, 8, cabinetSize);
    PutU32(head, 16, 44);  // first file entry
    head[24] = 3;          // version 1.3
    head[25] = 1;
    head[26] = 1;  // one folder
    head[28] = 1;  // one file
    PutU32(head, 36, dataAt);
    head[40] = 1;  // one data block, no compression
    std::vector<unsigned char> entry(16, 0);
    PutU32(entry, 0, (uint32_t)Content.size());
    entry[10] = 0x67, entry[11] = 0x58;  // 7 March 2024
    entry[14] = 0x20;                    // archive
    head.insert(head.end(), entry.begin(), entry.end());
    const char name[] = "large.txt";
    head.insert(head.end(), name, name + sizeof(name));
    return head;
}

// Its last bytes: the data block (no checksum) with the file's contents.
std::vector<unsigned char> CabinetTail() {
    std::vector<unsigned char> tail(8, 0);
    tail[4] = tail[6] = (unsigned char)Content.size();
    tail.insert(tail.end(), Content.begin(), Content.end());
    return tail;
}

struct LargePackage {
    ULONGLONG fileSize;
    ULONGLONG cabinetAt;
};

// A package of cabinetSize bytes of cabinet, extracted into "out" beside
// it, its CRC stored. claimedSize: what the cabinet's header says.
LargePackage WriteLargePackage(const std::wstring& path, ULONGLONG cabinetSize, ULONGLONG claimedSize) {
    std::vector<unsigned char> tail = CabinetTail();
    std::vector<unsigned char> head = CabinetHead((uint32_t)claimedSize, (uint32_t)(cabinetSize - tail.size()));
    PackageHeader header = MakeHeader();
    SetHeaderText(header.destination, kDestinationChars, L"out");
    header.OverwriteAll = 1;
    header.SkipDestinationDialog = 1;

    // CRC over head, hole and tail.
    static Crc32Tables tables;
    Crc32BuildTables(tables);
    bool wide = Crc32WideAvailable();
    uint32_t state = Crc32Fold(tables, 0xFFFFFFFFu, head.data(), head.size());
    std::vector<unsigned char> zeros(1 << 20, 0);
    for (ULONGLONG left = cabinetSize - head.size() - tail.size(); left > 0;) {
        size_t piece = (size_t)std::min<ULONGLONG>(left, zeros.size());
        state = wide ? Crc32FoldWide(tables, state, zeros.data(), piece) : Crc32Fold(tables, state, zeros.data(), piece);
        left -= piece;
    }
    state = Crc32Fold(tables, state, tail.data(), tail.size());
    header.PackageCrc = ~state;

    long cabinetAt = 0;
    std::vector<unsigned char> start = BuildPackage(head, &cabinetAt, &header);
    WriteBytes(path, start);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)(cabinetAt + cabinetSize - tail.size());
    DWORD written = 0;
    EXPECT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
                WriteFile(file, tail.data(), (DWORD)tail.size(), &written, nullptr));
    CloseHandle(file);
    return {(ULONGLONG)cabinetAt + cabinetSize, (ULONGLONG)cabinetAt};
}

struct SizeCase {
    const char* name;
    LONGLONG packageSize;  // negative: 2 GiB less that; else 2 GiB more
    bool largestCabinet;   // the cabinet of 2,147,483,647 bytes instead
};

void PrintTo(const SizeCase& row, std::ostream* out) { *out << row.name; }

class LargePackageRun : public ::testing::TestWithParam<SizeCase> {};

// Either side of 2 GiB, and the largest cabinet: the CRC passes and the
// file at the cabinet's end is extracted.
TEST_P(LargePackageRun, PassesItsCrcAndExtractsTheFileAtTheEnd) {
    if (sizeof(void*) == 4) GTEST_SKIP() << "packages over 2 GiB run on the 64-bit product";
    const SizeCase& row = GetParam();
    TempFolder folder;
    std::wstring package = folder / L"large.exe";
    // The stub's image and the header come before the cabinet.
    LargePackage probe = WriteLargePackage(package, 4096, 4096);
    ULONGLONG cabinetSize = row.largestCabinet ? MaxCabinet : (0x80000000ull + row.packageSize) - probe.cabinetAt;
    LargePackage written = WriteLargePackage(package, cabinetSize, cabinetSize);
    if (!row.largestCabinet) ASSERT_EQ(0x80000000ull + row.packageSize, written.fileSize);

    ModuleRun run;
    ASSERT_TRUE(run.Start(package, L"/Q"));
    EXPECT_EQ(0u, run.WaitForEnd(LargeRunMs));
    std::vector<unsigned char> extracted = ReadBytes(folder / L"out\\large.txt");
    EXPECT_EQ(Content, std::string(extracted.begin(), extracted.end()));
    DeleteFileW(package.c_str());
}

INSTANTIATE_TEST_SUITE_P(Sizes, LargePackageRun,
                         ::testing::Values(SizeCase{"Below2GiB", -4096, false}, SizeCase{"Above2GiB", 4096, false},
                                           SizeCase{"LargestCabinet", 0, true}),
                         [](const ::testing::TestParamInfo<SizeCase>& info) { return info.param.name; });

// A cabinet that claims a byte more than the limit is damaged: nothing is
// extracted. Small on disk: only the claim is large.
TEST(LargePackage, ACabinetClaimingMoreThanTheLimitIsDamaged) {
    TempFolder folder;
    std::wstring package = folder / L"claims.exe";
    WriteLargePackage(package, 4096, MaxCabinet + 1);
    ModuleRun run;
    ASSERT_TRUE(run.Start(package, L"/Q"));
    EXPECT_EQ((DWORD)ERROR_FILE_CORRUPT, run.WaitForEnd(LargeRunMs));
    EXPECT_FALSE(FileExists(folder / L"out\\large.txt"));

    // The same package claiming its true size extracts.
    WriteLargePackage(package, 4096, 4096);
    ModuleRun whole;
    ASSERT_TRUE(whole.Start(package, L"/Q"));
    EXPECT_EQ(0u, whole.WaitForEnd(LargeRunMs));
    EXPECT_TRUE(FileExists(folder / L"out\\large.txt"));
}

}  // namespace
