#include <gtest/gtest.h>

#include <io.h>

#include <string>

#include "base/file_access.h"
#include "support/test_files.h"

static bool CanRead(HANDLE file) {
    char byte;
    DWORD read = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    return ReadFile(file, &byte, 1, &read, nullptr) != FALSE;
}

static bool CanWrite(HANDLE file) {
    DWORD written = 0;
    SetFilePointer(file, 0, nullptr, FILE_END);
    return WriteFile(file, "w", 1, &written, nullptr) && written == 1;
}

// Whether a second opener that reads and writes gets in beside the first.
// It shares delete access too, which GENERIC_ALL holds.
static bool SharedWithOthers(const std::wstring& path) {
    HANDLE other = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (other == INVALID_HANDLE_VALUE) return false;
    CloseHandle(other);
    return true;
}

TEST(FileOpen, TranslatesOpenFlagsAndShareArgument) {
    const struct {
        const char* name;
        int flags;
        int share;
        bool fileExists;
        bool opens;
        bool reads;
        bool writes;
        bool keepsContent;  // existing "old" bytes still there after the open
        bool shared;
    } rows[] = {
        {"read only, existing", kOpenBinary, kShareDenyNone, true, true, true, false, true, true},
        {"read only, missing", kOpenBinary, kShareDenyNone, false, false},
        {"no sharing without bit 0x40", kOpenBinary, 0x10, true, true, true, false, true, false},
        {"write only", kOpenWriteOnly, kShareDenyNone, true, true, false, true, true, true},
        {"read and write", kOpenReadWrite, kShareDenyNone, true, true, true, true, true, true},
        {"write only wins over read and write", kOpenWriteOnly | kOpenReadWrite, kShareDenyNone, true, true, false, true,
         true, true},
        {"append opens an existing file", kOpenWriteOnly | kOpenAppend, kShareDenyNone, true, true, false, true, true,
         true},
        {"append creates a missing file", kOpenWriteOnly | kOpenAppend, kShareDenyNone, false, true, false, true, true,
         true},
        {"append wins over create", kOpenWriteOnly | kOpenAppend | kOpenCreate, kShareDenyNone, true, true, false, true,
         true, true},
        {"create truncates", kOpenWriteOnly | kOpenCreate, kShareDenyNone, true, true, false, true, false, true},
        {"truncate alone truncates", kOpenWriteOnly | kOpenTruncate, kShareDenyNone, true, true, false, true, false,
         true},
        {"create makes a missing file", kOpenWriteOnly | kOpenCreate, 0, false, true, false, true, true, false},
        {"output files of the extraction", 0x8321, 0, true, true, false, true, false, false},
    };
    TempFolder folder;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::wstring path = folder / L"file.bin";
        DeleteFileW(path.c_str());
        if (row.fileExists) WriteBytes(path, std::string("old"));

        HANDLE file = FileOpen(path.c_str(), row.flags, row.share, nullptr);
        ASSERT_EQ(row.opens, file != INVALID_HANDLE_VALUE);
        if (!row.opens) {
            EXPECT_FALSE(FileExists(path)) << "a failed open creates nothing";
            continue;
        }
        EXPECT_EQ(row.shared, SharedWithOthers(path));
        EXPECT_EQ(row.reads, CanRead(file));
        EXPECT_EQ(row.writes, CanWrite(file));
        FileClose(file);

        std::string content = row.fileExists && row.keepsContent ? "old" : "";
        if (row.writes) content += "w";
        std::vector<unsigned char> bytes = ReadBytes(path);
        EXPECT_EQ(content, std::string(bytes.begin(), bytes.end()));
    }
}

TEST(FileOpen, DescriptorOutputAdoptsTheHandleAndSharesTheFile) {
    TempFolder folder;
    std::wstring path = folder / L"data.bin";
    WriteBytes(path, std::string("0123456789"));

    int descriptor = -2;
    HANDLE file = FileOpen(path.c_str(), kOpenBinary, 0, &descriptor);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ASSERT_GE(descriptor, 0);
    EXPECT_EQ(file, (HANDLE)_get_osfhandle(descriptor));
    EXPECT_TRUE(SharedWithOthers(path)) << "a descriptor output shares whatever the share argument";

    char buffer[4] = {};
    EXPECT_EQ(3L, _lseek(descriptor, 3, SEEK_SET));
    EXPECT_EQ(4, _read(descriptor, buffer, 4));
    EXPECT_EQ(std::string("3456"), std::string(buffer, 4)) << "binary descriptor reads the bytes as they are";
    EXPECT_EQ(0, _close(descriptor));  // closes the adopted handle too
    EXPECT_FALSE(CanRead(file));

    descriptor = -2;
    EXPECT_EQ(INVALID_HANDLE_VALUE, FileOpen((folder / L"missing.bin").c_str(), kOpenBinary, 0, &descriptor));
    EXPECT_EQ(-1, descriptor);
}

TEST(FileAccess, SeekTellSizeAndRead) {
    TempFolder folder;
    std::wstring path = folder / L"data.bin";
    WriteBytes(path, std::string("0123456789"));
    HANDLE file = FileOpen(path.c_str(), kOpenBinary, kShareDenyNone, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);

    EXPECT_EQ(10, FileSize(file));
    EXPECT_EQ(0, FileTell(file));
    EXPECT_EQ(7, FileSeek(file, -3, -1, FILE_END));
    EXPECT_EQ(7, FileTell(file));
    EXPECT_EQ(8, FileSeek(file, 1, 0, FILE_CURRENT));

    char buffer[16] = {};
    EXPECT_EQ(2, FileRead(file, buffer, sizeof(buffer)));
    EXPECT_EQ(std::string("89"), std::string(buffer, 2));
    EXPECT_EQ(0, FileRead(file, buffer, sizeof(buffer))) << "0 at the end of the file";

    // 0xFFFFFFFF is a valid position, not the failure value.
    EXPECT_EQ(0xFFFFFFFFLL, FileSeek(file, (LONG)0xFFFFFFFF, 0, FILE_BEGIN));
    EXPECT_EQ(0x100000000LL, FileSeek(file, 1, 0, FILE_CURRENT));
    EXPECT_EQ(-1, FileSeek(file, -1, -1, FILE_BEGIN)) << "before the start";
    EXPECT_TRUE(FileClose(file));
}

TEST(FileAccess, FailuresOnABadHandle) {
    HANDLE bad = nullptr;  // INVALID_HANDLE_VALUE is the process's own pseudo-handle
    char buffer[4];
    EXPECT_EQ(-1, FileSeek(bad, 0, 0, FILE_BEGIN));
    EXPECT_EQ(-1, FileTell(bad));
    EXPECT_EQ(-1, FileSize(bad));
    EXPECT_EQ(-1, FileRead(bad, buffer, sizeof(buffer)));
    EXPECT_FALSE(FileClose(bad));
}

TEST(FileAccess, ReadOnAWriteOnlyHandleFails) {
    TempFolder folder;
    HANDLE file = FileOpen((folder / L"out.bin").c_str(), kOpenWriteOnly | kOpenCreate, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    char buffer[4];
    EXPECT_EQ(-1, FileRead(file, buffer, sizeof(buffer)));
    FileClose(file);
}
