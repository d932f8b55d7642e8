// The package CRC pass: the CRC-32 itself, and which bytes of a package it covers.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/package.h"
#include "base/crc32_core.h"
#include "base/file_access.h"
#include "base/image_end.h"
#include "base/package_header.h"
#include "base/state.h"
#include "check/checked_range.h"
#include "check/package_crc.h"
#include "support/answer_box.h"
#include "support/import_patch.h"
#include "support/test_files.h"

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

// The two folds agree for every length around the 16- and 64-byte steps,
// at every alignment, from any register value; the pass takes the wide
// one wherever the processor has it.
TEST(Crc32, TheWideFoldGivesTheTablesResult) {
    if (!Crc32WideAvailable()) GTEST_SKIP() << "no carry-less multiplication on this processor";
    Crc32Init();
    EXPECT_TRUE(G.CrcWide);
    std::vector<unsigned char> data = RandomBytes(70000, 2);
    std::mt19937 generator(3);
    std::vector<size_t> lengths = {65536, 65536 + 15, 69000};
    for (size_t length = 0; length <= 300; length++) lengths.push_back(length);
    for (size_t length : lengths)
        for (size_t offset = 0; offset < 16; offset++) {
            uint32_t state = (uint32_t)generator();
            ASSERT_EQ(Crc32Fold(G.CrcTable, state, data.data() + offset, length),
                      Crc32FoldWide(G.CrcTable, state, data.data() + offset, length))
                << "length " << length << ", offset " << offset;
        }
}

// A package laid out as the program finds it: image, header, cabinet, and
// data appended behind the cabinet.
struct PackageFile {
    std::vector<unsigned char> bytes;
    size_t zeroTail = 0;  // zero bytes behind bytes, on disk only
    size_t headerOffset = 0;
    size_t cabinetOffset = 0;
    size_t appendedOffset = 0;

    size_t CoveredFrom() const { return headerOffset + kHeaderSize; }
    size_t FileLength() const { return bytes.size() + zeroTail; }
};

// Writes the package's bytes, then its zero tail by moving the file's end.
static void WritePackage(const std::wstring& path, const PackageFile& package) {
    WriteBytes(path, package.bytes);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER end;
    end.QuadPart = (LONGLONG)package.FileLength();
    EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
}

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
    DWORD result = CheckPackageCrc(file, GetModuleHandleW(nullptr), expected, (LONG)package.FileLength() + kHeaderSize,
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
// first, then the checked range, then the pass from where the header read
// has left the file.
static DWORD CheckAsTheDriverDoes(const std::wstring& path, DWORD* storedCrc = nullptr) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    PackageHeader header = {};
    EXPECT_EQ(ValidHeader, ReadPackageHeader(file, &header));
    LONGLONG headerEnd = FileTell(file);
    LONG rangeEnd = (LONG)CheckedRangeEnd(file, headerEnd, FileSize(file));
    if (storedCrc) *storedCrc = header.PackageCrc;
    DWORD result = CheckPackageCrc(file, GetModuleHandleW(nullptr), header.PackageCrc, rangeEnd + kHeaderSize,
                                   (LONG)headerEnd - kHeaderSize, path.c_str());
    CloseHandle(file);
    return result;
}

TEST(CheckPackageCrc, APackageToolCrcPackagePasses) {
    DWORD stored = 0;
    DWORD result = CheckAsTheDriverDoes(BuildPath("tests/check/crc_package.exe"), &stored);
    EXPECT_NE(0u, stored);
    EXPECT_EQ(stored, result);
}

// What the pass tells its progress bar, seen through counting stand-ins for
// PostMessageW and SendMessageW.
static BOOL(WINAPI* realPostMessageW)(HWND, UINT, WPARAM, LPARAM);
static LRESULT(WINAPI* realSendMessageW)(HWND, UINT, WPARAM, LPARAM);
static std::vector<WPARAM> postedPositions;
static std::vector<LPARAM> sentRanges;
static int barWidth;
static bool dialogVisibleWhilePosting = true;

static BOOL WINAPI RecordingPostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBM_SETPOS) {
        postedPositions.push_back(wParam);
        RECT client = {};
        GetClientRect(window, &client);
        barWidth = client.right;
        dialogVisibleWhilePosting = dialogVisibleWhilePosting && IsWindowVisible(GetParent(window));
    }
    return realPostMessageW(window, message, wParam, lParam);
}

static LRESULT WINAPI RecordingSendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBM_SETRANGE32) sentRanges.push_back(lParam);
    return realSendMessageW(window, message, wParam, lParam);
}

static BOOL CALLBACK CountDialog(HWND window, LPARAM count) {
    WCHAR name[16] = L"";
    GetClassNameW(window, name, ARRAYSIZE(name));
    if (!lstrcmpW(name, L"#32770")) ++*(int*)count;
    return TRUE;
}

static int DialogsOfThisThread() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountDialog, (LPARAM)&count);
    return count;
}

// A clock that has always moved on by a display interval, and one that
// stands still.
static DWORD clockTicks;
static DWORD WINAPI RunningClock(void) { return clockTicks += 25; }
static DWORD WINAPI StoppedClock(void) { return 1000; }

static void RecordPosts() {
    HMODULE user = GetModuleHandleW(L"user32");
    realPostMessageW = (decltype(realPostMessageW))(void*)GetProcAddress(user, "PostMessageW");
    realSendMessageW = (decltype(realSendMessageW))(void*)GetProcAddress(user, "SendMessageW");
    ASSERT_GT(PatchImports((void*)realPostMessageW, (void*)RecordingPostMessageW), 0);
    ASSERT_GT(PatchImports((void*)realSendMessageW, (void*)RecordingSendMessageW), 0);
}

// While the clock allows it, a step is posted when it moves the filled part
// of the bar by a pixel: every step whose pixel differs from the one before
// is posted, once, and no other. The range is in 100 KiB steps.
TEST(CheckPackageCrc, PostsTheProgressStepsThatShowAndClosesItsWindow) {
    G.ReadClock = RunningClock;
    RecordPosts();
    const size_t image = 2048;
    TempFolder temp;
    for (size_t cabinetBytes : {(size_t)1000000, (size_t)50000, (size_t)102400, (size_t)30000000}) {
        SCOPED_TRACE(cabinetBytes);
        postedPositions.clear();
        sentRanges.clear();
        // Beyond 1 MB the cabinet is zeros on disk only: a 32-bit test
        // process under emulated Wine has no room for 30 MB of it.
        size_t inMemory = std::min(cabinetBytes, (size_t)1000000);
        PackageFile package = MakePackage(image, inMemory, 0);
        package.zeroTail = cabinetBytes - inMemory;
        WritePackage(temp / L"package.exe", package);

        CheckFile(temp / L"package.exe", package, 0);

        // End value = file size + 996, header offset = image size.
        LPARAM range = (LPARAM)(package.FileLength() + kHeaderSize - image) / 102400;
        ASSERT_EQ(1u, sentRanges.size());
        EXPECT_EQ(range, sentRanges[0]);
        std::vector<WPARAM> expected;
        for (size_t step = 1; step <= cabinetBytes / 102400; step++)
            if (MulDiv((int)step, barWidth, range) != MulDiv((int)step - 1, barWidth, range)) expected.push_back(step);
        EXPECT_EQ(expected, postedPositions);
        EXPECT_TRUE(dialogVisibleWhilePosting);
        EXPECT_EQ(0, DialogsOfThisThread());
    }
    // Wide enough to show each step of a 1 MB package, too narrow for all of 30 MB.
    EXPECT_GT(barWidth, 10);
    EXPECT_LT(barWidth, 30000000 / 102400);
}

// Between display intervals nothing is posted; the end shows the last step.
TEST(CheckPackageCrc, PostsTheLastStepWhenTheIntervalNeverCame) {
    G.ReadClock = StoppedClock;
    RecordPosts();
    TempFolder temp;
    PackageFile package = MakePackage(2048, 1000000, 0);
    WriteBytes(temp / L"package.exe", package.bytes);

    CheckFile(temp / L"package.exe", package, 0);

    EXPECT_EQ(std::vector<WPARAM>{1000000 / 102400}, postedPositions);
    EXPECT_EQ(0, DialogsOfThisThread());
}

// The tool's package with data appended behind its cabinet, its stored CRC
// made to cover that data too (as a package that carries extra data would).
static std::vector<unsigned char> ToolPackageWithAppendedData(size_t* headerOffset, size_t* appendedOffset) {
    std::vector<unsigned char> bytes = ReadBytes(BuildPath("tests/check/crc_package.exe"));
    *headerOffset = ImageEndFromBytes(bytes.data(), bytes.size());
    *appendedOffset = bytes.size();
    std::vector<unsigned char> appended = RandomBytes(5000, 5);
    bytes.insert(bytes.end(), appended.begin(), appended.end());
    uint32_t crc = ReferenceCrc(bytes, *headerOffset + kHeaderSize);
    memcpy(&bytes[*headerOffset + offsetof(PackageHeader, PackageCrc)], &crc, sizeof(crc));
    return bytes;
}

// One changed byte behind the header, in the cabinet or in the data behind
// it, or a byte more: the warning, then 0. The image and the header are not
// covered.
TEST(CheckPackageCrc, AChangeBehindTheHeaderIsReportedAndReturnsZero) {
    size_t headerOffset = 0, appendedOffset = 0;
    std::vector<unsigned char> original = ToolPackageWithAppendedData(&headerOffset, &appendedOffset);
    ASSERT_GT(headerOffset, 0u);
    size_t cabinetOffset = headerOffset + kHeaderSize;
    struct Row {
        const char* name;
        std::function<void(std::vector<unsigned char>&)> change;
        bool fails;
    } rows[] = {
        {"unchanged", [](std::vector<unsigned char>&) {}, false},
        {"cabinet signature", [&](std::vector<unsigned char>& bytes) { bytes[cabinetOffset] ^= 0x01; }, true},
        {"inside the cabinet", [&](std::vector<unsigned char>& bytes) { bytes[appendedOffset - 1000] ^= 0x40; }, true},
        {"appended data", [&](std::vector<unsigned char>& bytes) { bytes[appendedOffset + 17] ^= 0x80; }, true},
        {"last byte", [](std::vector<unsigned char>& bytes) { bytes.back() ^= 0x01; }, true},
        {"one byte more", [](std::vector<unsigned char>& bytes) { bytes.push_back(0); }, true},
        {"image", [](std::vector<unsigned char>& bytes) { bytes[1000] ^= 0x01; }, false},
        {"header command", [&](std::vector<unsigned char>& bytes) {
             bytes[headerOffset + offsetof(PackageHeader, command)] = 'R';
         }, false},
    };
    TempFolder temp;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<unsigned char> bytes = original;
        row.change(bytes);
        std::wstring path = temp / L"changed.exe";
        WriteBytes(path, bytes);
        if (!row.fails) {
            DWORD stored = 0;
            DWORD result = CheckAsTheDriverDoes(path, &stored);
            EXPECT_EQ(stored, result);
            continue;
        }
        DWORD result = 1;
        AnsweredBox box = AnswerBoxDuring(L"Warning", [&] { result = CheckAsTheDriverDoes(path); });
        EXPECT_EQ(0u, result);
        EXPECT_TRUE(box.shown);
        EXPECT_EQ(L"CRC check error!", box.text);
    }
}

TEST(CheckPackageCrc, AFailedReadEndsThePassAsAMismatch) {
    TempFolder temp;
    PackageFile package = MakePackage(2048, 300000, 0);
    WriteBytes(temp / L"package.exe", package.bytes);
    // Open for writing only: every read fails.
    HANDLE file = CreateFileW((temp / L"package.exe").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD result = 1;
    AnsweredBox box = AnswerBoxDuring(L"Warning", [&] {
        result = CheckPackageCrc(file, GetModuleHandleW(nullptr), ReferenceCrc(package.bytes, package.CoveredFrom()),
                                 (LONG)package.bytes.size() + kHeaderSize, (LONG)package.headerOffset, L"package.exe");
    });
    CloseHandle(file);
    EXPECT_EQ(0u, result);
    EXPECT_TRUE(box.shown);
}

// The tool's package signed the way a signer signs it: a certificate table
// at a multiple of 8 behind it, named by the image's security directory,
// whose first entry is a PKCS#7 signature of revision 2.0. Only the place
// and the first entry count here; the signature itself is the system's.
struct SignedPackage {
    std::vector<unsigned char> bytes;
    size_t imageEnd = 0;
    size_t table = 0;      // where the table starts
    size_t directory = 0;  // file offset of the security directory
};

static void PutU32(std::vector<unsigned char>& bytes, size_t offset, uint32_t value) {
    memcpy(&bytes[offset], &value, sizeof(value));
}

static SignedPackage SignedToolPackage(size_t tableBytes) {
    SignedPackage package;
    package.bytes = ReadBytes(BuildPath("tests/check/crc_package.exe"));
    package.imageEnd = ImageEndFromBytes(package.bytes.data(), package.bytes.size());
    package.table = package.bytes.size();
    EXPECT_EQ(0u, package.table % 8) << "the tool pads its packages to a multiple of 8";
    size_t optional = *(const uint32_t*)&package.bytes[0x3C] + 24;
    bool plus = *(const uint16_t*)&package.bytes[optional] == 0x020B;
    package.directory = optional + (plus ? 144 : 128);
    std::vector<unsigned char> table = RandomBytes(tableBytes, 6);
    PutU32(table, 0, (uint32_t)tableBytes);
    table[4] = 0x00;  // wRevision 0x0200
    table[5] = 0x02;
    table[6] = 0x02;  // wCertificateType 2: PKCS#7 signed data
    table[7] = 0x00;
    package.bytes.insert(package.bytes.end(), table.begin(), table.end());
    PutU32(package.bytes, package.directory, (uint32_t)package.table);
    PutU32(package.bytes, package.directory + 4, (uint32_t)tableBytes);
    return package;
}

// Where the pass stops, and the file pointer left behind the header for it.
TEST(CheckedRangeEnd, StopsOnlyAtATableItCanTrust) {
    const SignedPackage signedPackage = SignedToolPackage(1000);
    const size_t headerEnd = signedPackage.imageEnd + kHeaderSize, table = signedPackage.table;
    const size_t directory = signedPackage.directory;
    struct Row {
        const char* name;
        std::function<void(std::vector<unsigned char>&)> change;
        bool trusted;
    } rows[] = {
        {"as signed", [](std::vector<unsigned char>&) {}, true},
        {"a byte inside the certificate", [&](std::vector<unsigned char>& bytes) { bytes[table + 500] ^= 0x01; }, true},
        {"no directory", [&](std::vector<unsigned char>& bytes) { PutU32(bytes, directory, 0); }, false},
        {"past the end", [&](std::vector<unsigned char>& bytes) { PutU32(bytes, directory + 4, 1008); }, false},
        {"not reaching the end", [&](std::vector<unsigned char>& bytes) { bytes.push_back(0); }, false},
        {"inside the header",
         [&](std::vector<unsigned char>& bytes) {
             PutU32(bytes, directory, (uint32_t)(headerEnd - 8));
             PutU32(bytes, directory + 4, (uint32_t)(bytes.size() - (headerEnd - 8)));
         },
         false},
        {"no certificate entry", [&](std::vector<unsigned char>& bytes) { bytes[table + 6] = 0x01; }, false},
        {"an entry longer than the table",
         [&](std::vector<unsigned char>& bytes) { PutU32(bytes, table, 1001); }, false},
    };
    TempFolder temp;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<unsigned char> bytes = signedPackage.bytes;
        row.change(bytes);
        std::wstring path = temp / L"signed.exe";
        WriteBytes(path, bytes);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        FileSeek(file, (LONG)headerEnd, 0, FILE_BEGIN);
        EXPECT_EQ(row.trusted ? (LONGLONG)table : (LONGLONG)bytes.size(),
                  CheckedRangeEnd(file, (LONGLONG)headerEnd, FileSize(file)));
        EXPECT_EQ((LONGLONG)headerEnd, FileTell(file));
        CloseHandle(file);
    }
}

// A signed package passes with a byte changed in its certificate; its
// cabinet stays checked; the bar measures the range up to the table.
TEST(CheckPackageCrc, ASignedPackageIsCheckedUpToItsCertificateTable) {
    const SignedPackage signedPackage = SignedToolPackage(250000);
    const size_t headerEnd = signedPackage.imageEnd + kHeaderSize;
    RecordPosts();
    TempFolder temp;
    std::wstring path = temp / L"signed.exe";
    struct Row {
        const char* name;
        size_t changed;  // 0: nothing
        bool fails;
    } rows[] = {
        {"as signed", 0, false},
        {"a byte inside the certificate", signedPackage.table + 100000, false},
        {"a byte inside the cabinet", headerEnd + 100, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<unsigned char> bytes = signedPackage.bytes;
        if (row.changed) bytes[row.changed] ^= 0x01;
        WriteBytes(path, bytes);
        sentRanges.clear();
        DWORD stored = 0, result = 1;
        if (row.fails) {
            AnsweredBox box = AnswerBoxDuring(L"Warning", [&] { result = CheckAsTheDriverDoes(path, &stored); });
            EXPECT_TRUE(box.shown);
            EXPECT_EQ(0u, result);
        } else {
            result = CheckAsTheDriverDoes(path, &stored);
            EXPECT_EQ(stored, result);
        }
        ASSERT_EQ(1u, sentRanges.size());
        EXPECT_EQ((LPARAM)(signedPackage.table + kHeaderSize - signedPackage.imageEnd) / 102400, sentRanges[0]);
    }
}
