// Whole extractions through the system's cabinet library, on the test's
// thread and without a progress dialog: the paths that show no window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/state.h"
#include "base/string_list.h"
#include "support/cab_writer.h"
#include "support/extract/engine_run.h"
#include "support/test_files.h"

namespace {

std::string Text(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }


std::string Pattern(size_t size, unsigned seed) {
    std::string bytes(size, 0);
    for (size_t i = 0; i < size; i++) {
        seed = seed * 1103515245 + 12345;
        bytes[i] = (char)(seed >> 16);
    }
    return bytes;
}

// Two folders, a nested path, a file over several data blocks, an empty
// file, and distinct dates and attributes.
CabContents SampleContents() {
    CabContents contents;
    contents.folders = 2;
    CabFile readme{"readme.txt", "read me\r\n"};
    readme.date = DosDate(2024, 3, 7);
    readme.time = DosTime(14, 5, 30);
    CabFile big{"bin/deep/big.bin", Pattern(100000, 1)};
    big.attribs = 0x21;
    big.date = DosDate(1999, 12, 31);
    big.time = DosTime(23, 59, 58);
    CabFile empty{"bin/empty", ""};
    empty.folder = 1;
    CabFile hidden{"hidden.dat", Pattern(5000, 2)};
    hidden.folder = 1;
    hidden.attribs = 0x06 | 0x40 | 0x80;  // hidden, system, executable, UTF-8 name
    contents.files = {readme, big, empty, hidden};
    return contents;
}

void ExpectSampleExtracted(const std::wstring& destination) {
    EXPECT_EQ((std::vector<std::wstring>{L"bin\\", L"bin\\deep\\", L"bin\\deep\\big.bin", L"bin\\empty",
                                         L"hidden.dat", L"readme.txt"}),
              ListTree(destination));
    EXPECT_EQ("read me\r\n", Text(ReadBytes(destination + L"readme.txt")));
    EXPECT_TRUE(Text(ReadBytes(destination + L"bin\\deep\\big.bin")) == Pattern(100000, 1));
    EXPECT_TRUE(ReadBytes(destination + L"bin\\empty").empty());
    EXPECT_TRUE(Text(ReadBytes(destination + L"hidden.dat")) == Pattern(5000, 2));
    EXPECT_EQ(((DWORD)DosDate(2024, 3, 7) << 16) | DosTime(14, 5, 30), LocalStamp(destination + L"readme.txt"));
    EXPECT_EQ(((DWORD)DosDate(1999, 12, 31) << 16) | DosTime(23, 59, 58), LocalStamp(destination + L"bin\\deep\\big.bin"));
    EXPECT_EQ(0x21u, GetFileAttributesW((destination + L"bin\\deep\\big.bin").c_str()));
    EXPECT_EQ(0x06u | 0x20u, GetFileAttributesW((destination + L"hidden.dat").c_str()));
}

TEST(Extraction, UncompressedCabinet) {
    TempFolder temp;
    std::wstring destination = temp / L"out\\";
    EXPECT_EQ(0, ExtractOnThisThread(temp / L"sample.cab", BuildCabinet(SampleContents()), 0, destination));
    ExpectSampleExtracted(destination);
    EXPECT_EQ(0, G.AbortCode);
    EXPECT_FALSE(G.RunIncomplete);
}

// Reserve areas of every kind, alone and together, and the largest the
// format allows; inside a package too, where every offset is relative.
TEST(Extraction, ReserveAreasAreSkipped) {
    struct Row {
        uint16_t header;
        uint8_t folder, data;
        bool package;
    } rows[] = {{20, 0, 0, false}, {0, 9, 0, false}, {0, 0, 7, false}, {6, 4, 8, false},
                {60000, 255, 255, false}, {6, 4, 8, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.header << "/" << (int)row.folder << "/" << (int)row.data
                                        << (row.package ? " package" : ""));
        TempFolder temp;
        CabContents contents = SampleContents();
        contents.headerReserve = row.header;
        contents.folderReserve = row.folder;
        contents.dataReserve = row.data;
        std::vector<unsigned char> archive = BuildCabinet(contents);
        ASSERT_EQ(0x04, archive[30] & 0x04);
        long offset = 0;
        if (row.package) archive = BuildPackage(archive, &offset);
        std::wstring destination = temp / L"out\\";
        EXPECT_EQ(0, ExtractOnThisThread(temp / L"reserve.cab", archive, offset, destination));
        ExpectSampleExtracted(destination);
    }
}

TEST(Extraction, UncompressedCabinetInsideAPackage) {
    TempFolder temp;
    long offset = 0;
    std::vector<unsigned char> package = BuildPackage(BuildCabinet(SampleContents()), &offset);
    ASSERT_GT(offset, 996);
    std::wstring destination = temp / L"out\\";
    EXPECT_EQ(0, ExtractOnThisThread(temp / L"package.exe", package, offset, destination));
    ExpectSampleExtracted(destination);
}

void ExpectMszipPayload(const std::wstring& destination) {
    EXPECT_EQ((std::vector<std::wstring>{L"empty.txt", L"sub\\", L"sub\\deep\\", L"sub\\deep\\data.bin",
                                         L"text.txt"}),
              ListTree(destination));
    for (const char* name : {"text.txt", "sub/deep/data.bin", "empty.txt"}) {
        SCOPED_TRACE(name);
        std::wstring relative = Widen(name);
        std::replace(relative.begin(), relative.end(), L'/', L'\\');
        std::vector<unsigned char> expected = ReadBytes(BuildPath(std::string("tests/extract/fixtures/payload/") + name));
        EXPECT_TRUE(expected == ReadBytes(destination + relative));
    }
    EXPECT_GT(ReadBytes(destination + L"text.txt").size(), 300000u);
}

TEST(Extraction, MszipCabinet) {
    TempFolder temp;
    std::vector<unsigned char> cabinet = ReadBytes(BuildPath("tests/extract/fixtures/mszip.cab"));
    ASSERT_FALSE(cabinet.empty());
    std::wstring destination = temp / L"out\\";
    EXPECT_EQ(0, ExtractOnThisThread(temp / L"mszip.cab", cabinet, 0, destination));
    ExpectMszipPayload(destination);
}

TEST(Extraction, MszipCabinetInsideAPackage) {
    TempFolder temp;
    long offset = 0;
    std::vector<unsigned char> package =
        BuildPackage(ReadBytes(BuildPath("tests/extract/fixtures/mszip.cab")), &offset);
    std::wstring destination = temp / L"out\\";
    EXPECT_EQ(0, ExtractOnThisThread(temp / L"package.exe", package, offset, destination));
    ExpectMszipPayload(destination);
}

TEST(Extraction, CompressedCabinetCutShortLeavesNoPartialFile) {
    TempFolder temp;
    std::vector<unsigned char> cabinet = ReadBytes(BuildPath("tests/extract/fixtures/mszip.cab"));
    ASSERT_GT(cabinet.size(), 2000u);
    cabinet.resize(cabinet.size() * 6 / 10);
    std::wstring destination = temp / L"out\\";
    EXPECT_EQ(-1, ExtractOnThisThread(temp / L"damaged.cab", cabinet, 0, destination));
    std::vector<std::wstring> written = ListTree(destination);
    EXPECT_LT(written.size(), 5u);
    for (const std::wstring& entry : written) {
        if (entry.back() == L'\\') continue;
        std::string name = Narrow(entry);
        std::replace(name.begin(), name.end(), '\\', '/');
        SCOPED_TRACE(name);
        EXPECT_TRUE(ReadBytes(BuildPath("tests/extract/fixtures/payload/" + name)) == ReadBytes(destination + entry));
    }
}

TEST(Extraction, FolderEntriesCreateFolders) {
    TempFolder temp;
    CabContents contents;
    contents.files = {{"empty\\", ""}, {"a/b/", ""}, {"a/file.txt", "f"}};
    std::wstring destination = temp / L"out\\";
    EXPECT_EQ(0, ExtractOnThisThread(temp / L"folders.cab", BuildCabinet(contents), 0, destination));
    EXPECT_EQ((std::vector<std::wstring>{L"a\\", L"a\\b\\", L"a\\file.txt", L"empty\\"}), ListTree(destination));
}

// Wine's library writes what the folder still holds, closes the file and
// then fails: the short file goes, the earlier ones stay.
TEST(Extraction, SizeMismatchDeletesOnlyThatFile) {
    TempFolder temp;
    CabContents contents;
    CabFile shortFile{"short.txt", "abc"};
    shortFile.announcedSize = 50;
    contents.files = {{"first.txt", "first"}, {"second.txt", "second"}, shortFile};
    std::wstring destination = temp / L"out\\";
    EXPECT_EQ(-1, ExtractOnThisThread(temp / L"sizes.cab", BuildCabinet(contents), 0, destination));
    EXPECT_EQ((std::vector<std::wstring>{L"first.txt", L"second.txt"}), ListTree(destination));
    EXPECT_EQ("second", Text(ReadBytes(destination + L"second.txt")));
    EXPECT_TRUE(G.RunIncomplete);
}

TEST(Extraction, ExistingFilesWithOverwriteAll) {
    TempFolder temp;
    std::wstring destination = temp / L"out\\";
    CreateDirectoryW(destination.c_str(), nullptr);
    WriteBytes(destination + L"readme.txt", std::string("old"));
    SetFileAttributesW((destination + L"readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    G.RunSettings.OverwriteAll = 1;
    EXPECT_EQ(0, ExtractOnThisThread(temp / L"sample.cab", BuildCabinet(SampleContents()), 0, destination));
    ExpectSampleExtracted(destination);
}

TEST(Extraction, NewerOnlyKeepsNewerFiles) {
    TempFolder temp;
    std::wstring destination = temp / L"out\\";
    CreateDirectoryW(destination.c_str(), nullptr);
    // Written now: newer than readme.txt's 2024 stamp.
    WriteBytes(destination + L"readme.txt", std::string("kept"));
    G.NewerOnly = TRUE;
    EXPECT_EQ(0, ExtractOnThisThread(temp / L"sample.cab", BuildCabinet(SampleContents()), 0, destination));
    EXPECT_EQ("kept", Text(ReadBytes(destination + L"readme.txt")));
    EXPECT_TRUE(FileExists(destination + L"hidden.dat"));
}

TEST(Extraction, RecordsTheWrittenFilesForDeletionAfterTheCommand) {
    TempFolder temp;
    G.RunSettings.DeleteAfterRun = 1;
    lstrcpyW(G.RunSettings.command, L"setup.exe");
    std::wstring destination = temp / L"out\\";
    EXPECT_EQ(0, ExtractOnThisThread(temp / L"sample.cab", BuildCabinet(SampleContents()), 0, destination));
    std::vector<std::wstring> recorded;
    for (const WCHAR* path = StringListFirst(&G.PathList); path; path = StringListNext(&G.PathList))
        recorded.push_back(path);
    EXPECT_EQ((std::vector<std::wstring>{destination + L"readme.txt", destination + L"bin\\deep\\big.bin",
                                         destination + L"bin\\empty", destination + L"hidden.dat"}),
              recorded);
}

TEST(Extraction, ArchiveNamedWithoutAFolder) {
    TempFolder temp;
    ASSERT_TRUE(SetCurrentDirectoryW(temp.path().c_str()));
    std::wstring destination = temp / L"out\\";
    EXPECT_EQ(0, ExtractOnThisThread(L"sample.cab", BuildCabinet(SampleContents()), 0, destination));
    ExpectSampleExtracted(destination);
    SetCurrentDirectoryW(L"C:\\");
}

TEST(Extraction, Utf8NamesWithAndWithoutTheUtf8Bit) {
    TempFolder temp;
    CabContents contents;
    CabFile flagged{"\xE6\x97\xA5\xE6\x9C\xAC/\xC3\xA9t\xC3\xA9.txt", "1"};
    flagged.attribs = 0xA0;
    CabFile unflagged{"caf\xC3\xA9.txt", "2"};
    CabFile ansi{"na\xEFve.txt", "3"};
    contents.files = {flagged, unflagged, ansi};
    std::wstring destination = temp / L"out\\";
    EXPECT_EQ(0, ExtractOnThisThread(temp / L"names.cab", BuildCabinet(contents), 0, destination));
    EXPECT_EQ((std::vector<std::wstring>{L"caf\x00E9.txt", L"na\x00EFve.txt", L"\x65E5\x672C\\",
                                         L"\x65E5\x672C\\\x00E9t\x00E9.txt"}),
              ListTree(destination));
}

// Every name that tries to leave the destination, name a device or a
// stream lands inside it under a harmless name. The whole temporary tree
// is listed before and after; absolute targets are checked by name.
TEST(Extraction, HostileNamesStayInsideTheDestination) {
    TempFolder temp;
    std::wstring destination = temp / L"a\\b\\c\\out\\";
    ASSERT_TRUE(CreateDirectoryW((temp / L"a").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((temp / L"a\\b").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((temp / L"a\\b\\c").c_str(), nullptr));
    std::string unique = std::to_string(GetCurrentProcessId());
    std::wstring archive = temp / L"hostile.cab";

    CabContents contents;
    contents.files = {
        {"../up1.txt", "1"},
        {"..\\..\\..\\..\\..\\..\\up6.txt", "2"},
        {"a/../../b/../../../sneaky.txt", "3"},
        {"C:\\vuvescape" + unique + "\\abs.txt", "4"},
        {"/rooted.txt", "5"},
        {"\\\\vuvserver" + unique + "\\share\\unc.txt", "6"},
        {"\\\\?\\C:\\vuvescape" + unique + "\\device.txt", "7"},
        {"AUX", "8"},
        {"nul.txt", "9"},
        {"CON .txt", "10"},
        {"sub/COM1", "11"},
        {"lpt\xC2\xB9.txt", "12"},
        {"conin$", "13"},
        {"file.txt:stream", "14"},
        {"file.txt::$DATA", "15"},
        {". ./. . /dots.txt", "16"},
        {"trail. /x.txt", "17"},
        {"ctl\x01\x1F.txt", "18"},
        {"\xE2\x80\xAEtxt.exe", "19"},
        {"q?u*o\"t<e>s|.txt", "20"},
    };
    std::vector<std::wstring> before = ListTree(temp.path());
    EXPECT_EQ(0, ExtractOnThisThread(archive, BuildCabinet(contents), 0, destination));

    // Where each landed; # stands for the process id that keeps the
    // absolute targets apart from other runs.
    const wchar_t* landed[] = {
        L"up1.txt",
        L"up6.txt",
        L"a\\",
        L"a\\b\\",
        L"a\\b\\sneaky.txt",
        L"C_\\",
        L"C_\\vuvescape#\\",
        L"C_\\vuvescape#\\abs.txt",
        L"rooted.txt",
        L"vuvserver#\\",
        L"vuvserver#\\share\\",
        L"vuvserver#\\share\\unc.txt",
        L"_\\",
        L"_\\C_\\",
        L"_\\C_\\vuvescape#\\",
        L"_\\C_\\vuvescape#\\device.txt",
        L"_UX",
        L"_ul.txt",
        L"_ON .txt",
        L"sub\\",
        L"sub\\_OM1",
        L"_pt\x00B9.txt",
        L"_onin$",
        L"file.txt_stream",
        L"file.txt__$DATA",
        L"dots.txt",
        L"trail\\",
        L"trail\\x.txt",
        L"ctl__.txt",
        L"\x202Etxt.exe",
        L"q_u_o_t_e_s_.txt",
    };
    std::wstring id = Widen(unique);
    std::vector<std::wstring> expected = before;
    expected.push_back(L"hostile.cab");
    expected.push_back(L"a\\b\\c\\out\\");
    for (std::wstring entry : landed) {
        size_t mark = entry.find(L'#');
        if (mark != std::wstring::npos) entry.replace(mark, 1, id);
        expected.push_back(L"a\\b\\c\\out\\" + entry);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, ListTree(temp.path()));

    EXPECT_FALSE(FolderExists(L"C:\\vuvescape" + id));
    EXPECT_FALSE(FolderExists(L"\\\\vuvserver" + id + L"\\share"));
    WCHAR tempRoot[MAX_PATH];
    GetTempPathW(MAX_PATH, tempRoot);
    for (const wchar_t* name : {L"up1.txt", L"up6.txt", L"sneaky.txt", L"rooted.txt"})
        EXPECT_FALSE(FileExists(std::wstring(tempRoot) + name)) << Narrow(name);
    EXPECT_FALSE(FileExists(L"C:\\rooted.txt"));
}

// Cabinets cut or bent at their headers: the worker fails (or extracts
// what is sound) without a crash, and writes nothing outside its folder.
TEST(Extraction, DamagedCabinetsFailWithoutHarm) {
    std::vector<unsigned char> sound = BuildCabinet(SampleContents());
    struct Damage {
        const char* what;
        size_t cutAt;   // 0: keep the length
        size_t offset;  // a 32-bit field overwritten with value (0: none)
        uint32_t value;
    } damages[] = {
        {"signature only", 4, 0, 0},
        {"header cut", 20, 0, 0},
        {"file table cut", 70, 0, 0},
        {"data cut", 200, 0, 0},
        {"half the data", 50000, 0, 0},
        {"wrong signature", 0, 0, 0x5843534D},
        {"file count huge", 0, 28, 0x0000FFFF},  // flags 0 follow
        {"first data block beyond the end", 0, 36, 0x7FFFFFF0},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        std::vector<unsigned char> cabinet = sound;
        if (damage.cutAt) cabinet.resize(damage.cutAt);
        if (damage.value)
            for (int i = 0; i < 4; i++) cabinet[damage.offset + i] = (damage.value >> (8 * i)) & 0xFF;
        TempFolder temp;
        G.AbortCode = 0;
        G.RunIncomplete = FALSE;
        std::wstring destination = temp / L"out\\";
        EXPECT_EQ(-1, ExtractOnThisThread(temp / L"damaged.cab", cabinet, 0, destination));
        for (const std::wstring& entry : ListTree(temp.path()))
            EXPECT_TRUE(entry == L"damaged.cab" || entry.compare(0, 4, L"out\\") == 0) << Narrow(entry);
        // Whatever was written is complete: no file keeps a partial size.
        for (const std::wstring& entry : ListTree(destination)) {
            if (entry.back() == L'\\') continue;
            std::vector<unsigned char> bytes = ReadBytes(destination + entry);
            EXPECT_TRUE(entry == L"readme.txt" || entry == L"bin\\deep\\big.bin" || entry == L"bin\\empty" ||
                        entry == L"hidden.dat")
                << Narrow(entry);
            if (entry == L"bin\\deep\\big.bin") EXPECT_EQ(100000u, bytes.size());
            if (entry == L"hidden.dat") EXPECT_EQ(5000u, bytes.size());
        }
    }
}

}  // namespace
