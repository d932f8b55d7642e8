#include <gtest/gtest.h>

#include <string.h>

#include "app/package.h"
#include "base/file_access.h"
#include "base/state.h"
#include "support/pe_image.h"
#include "support/test_files.h"

static void Put(std::vector<unsigned char>& bytes, size_t offset, const std::string& text) {
    if (bytes.size() < offset + text.size()) bytes.resize(offset + text.size(), 0);
    memcpy(&bytes[offset], text.data(), text.size());
}

struct Search {
    LONG size;
    LONG offset;
};

static Search Locate(const std::vector<unsigned char>& bytes) {
    TempFolder folder;
    std::wstring path = folder / L"archive.bin";
    WriteBytes(path, bytes);
    G.CabinetOffset = 12345;
    Search search;
    search.size = LocateCabinet(path.c_str(), INVALID_HANDLE_VALUE);
    search.offset = G.CabinetOffset;
    return search;
}

// The block size is 32768: these signatures straddle the first two blocks
// or start the second one.
TEST(LocateCabinet, SignatureAroundTheBlockBoundary) {
    const size_t offsets[] = {32760, 32761, 32765, 32767, 32768, 65535, 0, 1, 100000};
    for (size_t offset : offsets) {
        SCOPED_TRACE(offset);
        std::vector<unsigned char> bytes(120000, 0x4D);  // 'M' everywhere: many near misses
        Put(bytes, offset, CabinetSignature());
        Search search = Locate(bytes);
        EXPECT_EQ((LONG)bytes.size(), search.size);
        EXPECT_EQ((LONG)offset, search.offset);
    }
}

// With a second signature behind the straddling one, the first still wins:
// the carried bytes are tested once, at their own offset.
TEST(LocateCabinet, FirstSignatureWins) {
    const size_t offsets[] = {32760, 32765, 32767, 32768};
    for (size_t offset : offsets) {
        SCOPED_TRACE(offset);
        std::vector<unsigned char> bytes(70000, 0);
        Put(bytes, offset, CabinetSignature());
        Put(bytes, 32768 + 40, CabinetSignature());
        Put(bytes, 65536 + 3, CabinetSignature());
        EXPECT_EQ((LONG)offset, Locate(bytes).offset);
    }
}

TEST(LocateCabinet, NearMissesAreNotSignatures) {
    std::string signature = CabinetSignature();
    const struct {
        const char* name;
        size_t offset;
        std::string text;
    } rows[] = {
        {"MSCF with a non-zero reserved field", 100, signature.substr(0, 7) + "\x01"},
        {"seven signature bytes end the first block", 32761, signature.substr(0, 7)},
        {"seven signature bytes end the file", 70000 - 7, signature.substr(0, 7)},
        {"lower-case mscf", 100, "mscf" + signature.substr(4)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<unsigned char> bytes(70000, 0x33);
        Put(bytes, row.offset, row.text);
        Search search = Locate(bytes);
        EXPECT_EQ(70000, search.size);
        EXPECT_EQ(-1, search.offset);
    }
}

// The carry must not keep bytes of an earlier block when a short file or a
// short last block leaves fewer than seven.
TEST(LocateCabinet, SmallFiles) {
    EXPECT_EQ(-1, Locate({}).offset);
    EXPECT_EQ(0, Locate({}).size);
    std::string signature = CabinetSignature();
    EXPECT_EQ(-1, Locate(std::vector<unsigned char>(signature.begin(), signature.begin() + 7)).offset);
    EXPECT_EQ(0, Locate(std::vector<unsigned char>(signature.begin(), signature.end())).offset);

    std::vector<unsigned char> shortLast(32768 + 3, 0);
    Put(shortLast, 32764, signature.substr(0, 4));  // "MSCF" and then only three zero bytes
    EXPECT_EQ(-1, Locate(shortLast).offset);
    shortLast.push_back(0);
    EXPECT_EQ(32764, Locate(shortLast).offset);
}

TEST(LocateCabinet, RealCabinetStartsAtZero) {
    std::vector<unsigned char> cabinet = ReadBytes(BuildPath("tests/base/sample.cab"));
    ASSERT_GT(cabinet.size(), 8u);
    Search search = Locate(cabinet);
    EXPECT_EQ((LONG)cabinet.size(), search.size);
    EXPECT_EQ(0, search.offset);
}

TEST(LocateCabinet, UnopenableArchive) {
    TempFolder folder;
    const std::wstring paths[] = {folder / L"missing.cab", folder.path(), L""};
    for (const std::wstring& path : paths) {
        SCOPED_TRACE(Narrow(path));
        G.CabinetOffset = 12345;
        EXPECT_EQ(-1, LocateCabinet(path.c_str(), INVALID_HANDLE_VALUE));
    }
}

// A handle given by the caller is searched from offset 0, whatever its
// position, and closed.
TEST(LocateCabinet, GivenHandleIsSearchedFromTheStartAndClosed) {
    TempFolder folder;
    std::wstring path = folder / L"package.exe";
    std::vector<unsigned char> bytes(50000, 0);
    Put(bytes, 20, CabinetSignature());
    WriteBytes(path, bytes);

    HANDLE file = FileOpen(path.c_str(), kOpenBinary, 0, nullptr);  // not shared
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    FileSeek(file, 40000, 0, FILE_BEGIN);
    G.CabinetOffset = 12345;
    EXPECT_EQ(50000, LocateCabinet(L"Z:\\no such file", file));
    EXPECT_EQ(20, G.CabinetOffset);

    HANDLE again = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, again) << "the given handle was closed";
    CloseHandle(again);
}
