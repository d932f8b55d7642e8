// The package CRC pass: the CRC-32 itself, and which bytes of a package it covers.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "app/file_access.h"
#include "app/package.h"
#include "app/package_header.h"
#include "app/state.h"
#include "check/package_crc.h"
#include "test_files.h"

// Bit by bit, straight from the definition: no tables.
static uint32_t ReferenceCrc(const std::vector<unsigned char>& bytes, size_t from = 0) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); i++) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; bit++) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

static std::vector<unsigned char> RandomBytes(size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::vector<unsigned char> bytes(count);
    for (unsigned char& b : bytes) b = (unsigned char)generator();
    return bytes;
}

TEST(Crc32, KnownValues) {
    struct Row {
        std::string text;
        uint32_t crc;
    } rows[] = {
        {"123456789", 0xCBF43926u},
        {"", 0x00000000u},
        {"a", 0xE8B7BE43u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
        {std::string(32, '\0'), 0x190A55ADu},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        Crc32Init();
        Crc32Update((const BYTE*)row.text.data(), (DWORD)row.text.size());
        EXPECT_EQ(row.crc, ~G.CrcState);
    }
}

TEST(Crc32, TheTableIsTheByteAtATimeTable) {
    Crc32Init();
    EXPECT_EQ(0u, G.CrcTable[0][0]);
    EXPECT_EQ(0x77073096u, G.CrcTable[0][1]);
    EXPECT_EQ(0xEDB88320u, G.CrcTable[0][128]);
    EXPECT_EQ(0x2D02EF8Du, G.CrcTable[0][255]);
    EXPECT_EQ(0xFFFFFFFFu, G.CrcState);
}

// Any split into pieces, odd lengths and empty pieces included, gives the
// CRC of the whole, and every length near the eight-byte step is right.
TEST(Crc32, PiecesFoldToTheCrcOfTheWhole) {
    std::vector<unsigned char> data = RandomBytes(200000, 1);
    for (size_t piece : {1u, 3u, 7u, 8u, 9u, 4096u, 65536u, 199999u}) {
        SCOPED_TRACE(piece);
        Crc32Init();
        for (size_t at = 0; at < data.size(); at += piece) {
            Crc32Update(data.data() + at, (DWORD)std::min(piece, data.size() - at));
            Crc32Update(data.data() + at, 0);
        }
        EXPECT_EQ(ReferenceCrc(data), ~G.CrcState);
    }
    for (size_t length = 0; length <= 40; length++) {
        SCOPED_TRACE(length);
        std::vector<unsigned char> head(data.begin() + 5, data.begin() + 5 + length);
        Crc32Init();
        Crc32Update(data.data() + 5, (DWORD)length);
        EXPECT_EQ(ReferenceCrc(head), ~G.CrcState);
    }
}

// A package laid out as the program finds it: image, header, cabinet, and
// data appended behind the cabinet.
struct PackageFile {
    std::vector<unsigned char> bytes;
    size_t headerOffset = 0;
    size_t cabinetOffset = 0;
    size_t appendedOffset = 0;

    size_t CoveredFrom() const { return headerOffset + kHeaderSize; }
};

static PackageFile MakePackage(size_t imageBytes, size_t cabinetBytes, size_t appendedBytes) {
    PackageFile package;
    package.bytes = RandomBytes(imageBytes, 2);
    package.bytes[0] = 'M';
    package.bytes[1] = 'Z';
    package.headerOffset = package.bytes.size();
    PackageHeader header = {};
    memcpy(&header, kHeaderMagic, sizeof(kHeaderMagic));
    header.variant = kVariantPlain;
    const unsigned char* headerBytes = (const unsigned char*)&header;
    package.bytes.insert(package.bytes.end(), headerBytes, headerBytes + kHeaderSize);
    package.cabinetOffset = package.bytes.size();
    std::vector<unsigned char> cabinet = RandomBytes(cabinetBytes, 3);
    if (cabinet.size() >= 4) memcpy(cabinet.data(), "MSCF", 4);
    package.bytes.insert(package.bytes.end(), cabinet.begin(), cabinet.end());
    package.appendedOffset = package.bytes.size();
    std::vector<unsigned char> appended = RandomBytes(appendedBytes, 4);
    package.bytes.insert(package.bytes.end(), appended.begin(), appended.end());
    return package;
}

// Runs the pass as the driver does: the file positioned right behind the
// header. Reports where the file pointer was left.
static DWORD CheckFile(const std::wstring& path, const PackageFile& package, DWORD expected,
                       LONGLONG* endPosition = nullptr) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)package.CoveredFrom();
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    DWORD result = CheckPackageCrc(file, GetModuleHandleW(nullptr), expected, (LONG)package.bytes.size() + kHeaderSize,
                                   (LONG)package.headerOffset, path.c_str());
    LARGE_INTEGER zero = {}, position = {};
    SetFilePointerEx(file, zero, &position, FILE_CURRENT);
    if (endPosition) *endPosition = position.QuadPart;
    CloseHandle(file);
    return result;
}

TEST(CheckPackageCrc, CoversExactlyTheBytesBehindTheHeader) {
    TempFolder temp;
    PackageFile package = MakePackage(3000, 0, 0);
    package.bytes.insert(package.bytes.end(), {'1', '2', '3', '4', '5', '6', '7', '8', '9'});
    WriteBytes(temp / L"check.exe", package.bytes);

    LONGLONG end = 0;
    EXPECT_EQ(0xCBF43926u, CheckFile(temp / L"check.exe", package, 0, &end));
    EXPECT_EQ((LONGLONG)package.bytes.size(), end);
    EXPECT_EQ(0xCBF43926u, CheckFile(temp / L"check.exe", package, 0xCBF43926u));
}

// With no expected value the whole range is still read and its CRC returned.
TEST(CheckPackageCrc, WithoutExpectedValueReadsAllAndReturnsTheCrc) {
    TempFolder temp;
    for (size_t cabinetBytes : {0u, 1u, 65535u, 65536u, 65537u, 102400u, 700001u}) {
        SCOPED_TRACE(cabinetBytes);
        PackageFile package = MakePackage(1536, cabinetBytes, 0);
        WriteBytes(temp / L"package.exe", package.bytes);
        LONGLONG end = 0;
        EXPECT_EQ(ReferenceCrc(package.bytes, package.CoveredFrom()), CheckFile(temp / L"package.exe", package, 0, &end));
        EXPECT_EQ((LONGLONG)package.bytes.size(), end);
    }
}

TEST(CheckPackageCrc, AMatchingPackageReturnsItsCrc) {
    TempFolder temp;
    PackageFile package = MakePackage(4096, 300000, 5000);
    WriteBytes(temp / L"package.exe", package.bytes);
    uint32_t crc = ReferenceCrc(package.bytes, package.CoveredFrom());
    EXPECT_EQ(crc, CheckFile(temp / L"package.exe", package, crc));
}

// The image and the header are outside the covered range.
TEST(CheckPackageCrc, AChangedByteInTheImageOrTheHeaderGoesUnnoticed) {
    TempFolder temp;
    PackageFile original = MakePackage(4096, 300000, 5000);
    uint32_t crc = ReferenceCrc(original.bytes, original.CoveredFrom());
    for (size_t offset : {(size_t)2, original.headerOffset - 1, original.headerOffset,
                          original.headerOffset + offsetof(PackageHeader, PackageCrc), original.CoveredFrom() - 1}) {
        SCOPED_TRACE(offset);
        PackageFile package = original;
        package.bytes[offset] ^= 0x01;
        WriteBytes(temp / L"package.exe", package.bytes);
        EXPECT_EQ(crc, CheckFile(temp / L"package.exe", package, crc));
    }
}

// The package tool's --crc package, read as the driver reads it: header
// first, then the pass from where the header read has left the file.
static DWORD CheckAsTheDriverDoes(const std::wstring& path, DWORD* storedCrc = nullptr) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    PackageHeader header = {};
    EXPECT_EQ(ValidHeader, ReadPackageHeader(file, &header));
    LONG headerOffset = (LONG)FileTell(file) - kHeaderSize;
    LONG size = (LONG)FileSize(file);
    if (storedCrc) *storedCrc = header.PackageCrc;
    DWORD result =
        CheckPackageCrc(file, GetModuleHandleW(nullptr), header.PackageCrc, size + kHeaderSize, headerOffset, path.c_str());
    CloseHandle(file);
    return result;
}

TEST(CheckPackageCrc, APackageToolCrcPackagePasses) {
    DWORD stored = 0;
    DWORD result = CheckAsTheDriverDoes(BuildPath("tests/check/crc_package.exe"), &stored);
    EXPECT_NE(0u, stored);
    EXPECT_EQ(stored, result);
}
