#include <gtest/gtest.h>

#include <shlobj.h>
#include <string.h>

#include <string>

#include "app/entry.h"
#include "app/package.h"
#include "base/file_access.h"
#include "base/state.h"
#include "support/pe_image.h"
#include "support/test_files.h"

static const uint32_t kImageEnd = 0x1F000;  // 126976

struct HeaderRead {
    HeaderOutcome outcome;
    PackageHeader copy;
    LONGLONG positionAfter;
};

static HeaderRead ReadHeaderOf(const std::vector<unsigned char>& bytes) {
    TempFolder folder;
    std::wstring path = folder / L"package.exe";
    WriteBytes(path, bytes);
    HeaderRead result;
    memset(&result.copy, 0xAB, sizeof(result.copy));
    HANDLE file = FileOpen(path.c_str(), kOpenBinary, kShareDenyNone, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    result.outcome = ReadPackageHeader(file, &result.copy);
    result.positionAfter = FileTell(file);
    FileClose(file);
    return result;
}

static std::vector<unsigned char> PackageWith(const PackageHeader& header, size_t trailingBytes = 100) {
    std::vector<unsigned char> bytes = MakeImageEndingAt(kImageEnd);
    AppendHeader(bytes, header);
    bytes.resize(bytes.size() + trailingBytes, 0x11);
    return bytes;
}

static PackageHeader SampleHeader() { return MakeSampleHeader(L"Sample", L"Install the sample?"); }

TEST(ReadPackageHeader, ValidHeaderIsCopiedAndTheFileLeftBehindIt) {
    PackageHeader header = SampleHeader();
    header.PackageCrc = 0x12345678;
    HeaderRead read = ReadHeaderOf(PackageWith(header));
    ASSERT_EQ(ValidHeader, read.outcome);
    EXPECT_EQ(0, memcmp(&header, &read.copy, sizeof(header)));
    EXPECT_EQ(kImageEnd + kHeaderSize, read.positionAfter);
}

TEST(ReadPackageHeader, MagicIsCheckedButNotTheVariant) {
    const struct {
        const char* name;
        int offset;
        char value;
        HeaderOutcome expected;
    } rows[] = {
        {"first letter", 0, 'k', NoHeader},
        {"sixth letter", 5, 'Y', NoHeader},
        {"last letter", 7, 'V', NoHeader},
        {"variant is not tested", 6, 'Q', ValidHeader},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PackageHeader header = SampleHeader();
        ((char*)&header)[row.offset] = row.value;
        EXPECT_EQ(row.expected, ReadHeaderOf(PackageWith(header)).outcome);
    }
}

TEST(ReadPackageHeader, NothingOrTooLittleAppended) {
    std::vector<unsigned char> image = MakeImageEndingAt(kImageEnd);
    EXPECT_EQ(EmptyPackage, ReadHeaderOf(image).outcome) << "image only";

    std::vector<unsigned char> partial = image;
    partial.resize(partial.size() + 500, 0x4B);
    EXPECT_EQ(EmptyPackage, ReadHeaderOf(partial).outcome) << "part of a header";

    std::vector<unsigned char> headerOnly = image;
    AppendHeader(headerOnly, SampleHeader());
    EXPECT_EQ(EmptyPackage, ReadHeaderOf(headerOnly).outcome) << "a header and nothing behind it";

    headerOnly.push_back(0);
    EXPECT_EQ(ValidHeader, ReadHeaderOf(headerOnly).outcome) << "one byte behind the header";
}

TEST(ReadPackageHeader, GarbageBehindTheImageIsNoHeader) {
    std::vector<unsigned char> bytes = MakeImageEndingAt(kImageEnd);
    bytes.resize(bytes.size() + 5000, 0x4B);
    EXPECT_EQ(NoHeader, ReadHeaderOf(bytes).outcome);
}

TEST(ReadPackageHeader, EmptyCommandResetsVariantAndDeleteAfterRun) {
    const struct {
        const wchar_t* command;
        char variant;
        char expectedVariant;
        int32_t expectedDelete;
    } rows[] = {
        {L"", kVariantX64, kVariantPlain, 0},
        {L"", kVariantPlain, kVariantPlain, 0},
        {L"setup.exe", kVariantX64, kVariantX64, 1},
        {L"setup.exe", 'Q', 'Q', 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.command) + " variant " + row.variant);
        PackageHeader header = SampleHeader();
        SetHeaderText(header.command, kCommandChars, row.command);
        header.variant = row.variant;
        header.DeleteAfterRun = 1;
        HeaderRead read = ReadHeaderOf(PackageWith(header));
        ASSERT_EQ(ValidHeader, read.outcome);
        EXPECT_EQ(row.expectedVariant, read.copy.variant);
        EXPECT_EQ(row.expectedDelete, read.copy.DeleteAfterRun);
    }
}

// A text field without a NUL ends at its field's end: the copy's texts are
// terminated within their fields, so nothing reads into the next field.
TEST(ReadPackageHeader, TextFieldsWithoutTerminator) {
    PackageHeader header = SampleHeader();
    header.variant = kVariantX64;
    SetHeaderText(header.command, kCommandChars, std::wstring(kCommandChars, L'c'));
    SetHeaderText(header.confirmCaption, kCaptionChars, std::wstring(kCaptionChars, L'k'));
    SetHeaderText(header.confirmPrompt, kPromptChars, std::wstring(kPromptChars, L'p'));
    HeaderRead read = ReadHeaderOf(PackageWith(header));
    ASSERT_EQ(ValidHeader, read.outcome);
    EXPECT_STREQ(L"", read.copy.command) << "a command that fills its field is refused";
    EXPECT_EQ(0, read.copy.DeleteAfterRun) << "and then counts as empty";
    EXPECT_EQ(kVariantPlain, read.copy.variant);
    EXPECT_EQ(std::wstring(kCaptionChars - 1, L'k'), read.copy.confirmCaption);
    EXPECT_EQ(std::wstring(kPromptChars - 1, L'p'), read.copy.confirmPrompt);

    SetHeaderText(header.command, kCommandChars, std::wstring(kCommandChars - 1, L'c'));
    read = ReadHeaderOf(PackageWith(header));
    EXPECT_EQ(std::wstring(kCommandChars - 1, L'c'), read.copy.command) << "127 characters fit";
    EXPECT_EQ(1, read.copy.DeleteAfterRun);
}

// The sample package: image end 126976, cabinet right behind the header.
TEST(Package, SampleLayout) {
    std::vector<unsigned char> bytes = PackageWith(SampleHeader(), 0);
    std::vector<unsigned char> cabinet = ReadBytes(BuildPath("tests/base/sample.cab"));
    ASSERT_GT(cabinet.size(), 8u);
    Append(bytes, cabinet.data(), cabinet.size());

    TempFolder folder;
    std::wstring path = folder / L"package.exe";
    WriteBytes(path, bytes);
    HANDLE file = FileOpen(path.c_str(), kOpenBinary, kShareDenyNone, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(kImageEnd, FindImageEnd(file));
    FileSeek(file, 0, 0, FILE_BEGIN);
    PackageHeader copy;
    EXPECT_EQ(ValidHeader, ReadPackageHeader(file, &copy));
    FileSeek(file, 0, 0, FILE_BEGIN);
    G.CabinetOffset = 0;
    EXPECT_EQ((LONG)bytes.size(), LocateCabinet(path.c_str(), file));
    EXPECT_EQ(127972, G.CabinetOffset);
}

static std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

static std::wstring ShellFolder(int csidl) {
    WCHAR path[MAX_PATH] = L"";
    EXPECT_EQ(S_OK, SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) << csidl;
    return WithoutTrailingBackslash(path);
}

static std::wstring TempPath() {
    WCHAR path[MAX_PATH];
    GetTempPathW(MAX_PATH, path);
    return WithoutTrailingBackslash(path);
}

// The folders where the 32-bit module puts a package made for it: the
// 64-bit module expands the keywords to the same folders where WOW64 is
// there, as in every prefix of the 64-bit suite.
static std::wstring PackagesProgramFiles() {
#ifdef _WIN64
    return ShellFolder(CSIDL_PROGRAM_FILESX86);
#else
    return ShellFolder(CSIDL_PROGRAM_FILES);
#endif
}

static std::wstring PackagesSystemFolder() {
    WCHAR path[MAX_PATH];
#ifdef _WIN64
    GetSystemWow64DirectoryW(path, MAX_PATH);
#else
    GetSystemDirectoryW(path, MAX_PATH);
#endif
    return path;
}

static std::wstring WindowsFolder() {
    WCHAR path[MAX_PATH];
    GetWindowsDirectoryW(path, MAX_PATH);
    return path;
}

struct Expansion {
    std::wstring destination;
    BOOL privateTempFolder;
};

static const wchar_t kProgram[] = L"C:\\pkg\\package.exe";

static Expansion Expand(const PackageHeader& header, const wchar_t* before = L"before") {
    Expansion result;
    WCHAR out[kDestinationChars + 8];
    for (WCHAR& c : out) c = L'#';
    lstrcpyW(out, before);
    result.privateTempFolder = ExpandDestination(out, &header, kProgram);
    for (int i = kDestinationChars; i < kDestinationChars + 8; i++) EXPECT_EQ(L'#', out[i]) << "overrun at " << i;
    result.destination = out;
    return result;
}

TEST(ExpandDestination, Keywords) {
    const std::wstring temp = TempPath();
    const struct {
        const wchar_t* destination;
        int32_t deleteAfterRun;
        std::wstring expected;
        BOOL privateTempFolder;
    } rows[] = {
        {L"%Desktop%", 0, ShellFolder(CSIDL_DESKTOPDIRECTORY), FALSE},
        {L"%Desktop%\\x", 0, ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\x", FALSE},
        {L"%MyDocuments%\\sub dir\\", 0, ShellFolder(CSIDL_PERSONAL) + L"\\sub dir\\", FALSE},
        {L"%ProgramFiles%\\App", 0, PackagesProgramFiles() + L"\\App", FALSE},
        {L"%SystemDir%", 0, PackagesSystemFolder(), FALSE},
        {L"%WinDir%\\Temp", 0, WindowsFolder() + L"\\Temp", FALSE},
        {L"%temp%", 0, temp, FALSE},
        {L"%temp%\\sub", 0, temp + L"\\sub", FALSE},
        {L"%temp%\\sub", 1, temp + L"\\sub", FALSE},
        {L"%temp%", 1, temp + L"\\~package.exe", TRUE},
        {L"%temp%x", 1, temp + L"x", FALSE},
        {L"%Temp%", 1, L"", FALSE},
        {L"%TEMP%\\x", 0, L"\\x", FALSE},
        {L"%Docs%\\x", 0, L"\\x", FALSE},
        {L"%%\\x", 0, L"\\x", FALSE},
        {L"%Win-Dir%", 0, L"", FALSE},
        {L"%WinDir", 0, L"%WinDir", FALSE},
        {L"%", 0, L"%", FALSE},
        {L"C:\\out", 0, L"C:\\out", FALSE},
        {L"out%WinDir%", 0, L"out%WinDir%", FALSE},
        {L"..\\out", 1, L"..\\out", FALSE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.destination));
        PackageHeader header = MakeHeader();
        SetHeaderText(header.destination, kDestinationChars, row.destination);
        header.DeleteAfterRun = row.deleteAfterRun;
        Expansion expansion = Expand(header);
        EXPECT_EQ(row.expected, expansion.destination);
        EXPECT_EQ(row.privateTempFolder, expansion.privateTempFolder);
    }
}

TEST(ExpandDestination, EmptyDestinationWritesNothing) {
    PackageHeader header = MakeHeader();
    header.DeleteAfterRun = 1;
    Expansion expansion = Expand(header, L"D:\\from the command line");
    EXPECT_EQ(L"D:\\from the command line", expansion.destination);
    EXPECT_FALSE(expansion.privateTempFolder);
}

// An expansion longer than the field is refused: nothing is written.
TEST(ExpandDestination, OverLongExpansionsAreRefused) {
    const std::wstring windows = WindowsFolder();
    const std::wstring temp = TempPath();
    const int free = kDestinationChars - 1 - (int)windows.size();  // characters left for the rest
    const std::wstring program = kProgram;
    const struct {
        const char* name;
        std::wstring destination;
        int32_t deleteAfterRun;
        std::wstring program;
        std::wstring expected;
        BOOL privateTempFolder;
    } rows[] = {
        {"expansion of 259 characters", L"%WinDir%" + std::wstring(free, L'a'), 0, program,
         windows + std::wstring(free, L'a'), FALSE},
        {"expansion of 260 characters", L"%WinDir%" + std::wstring(free + 1, L'a'), 0, program, L"before", FALSE},
        {"expansion of a full field", L"%WinDir%" + std::wstring(kDestinationChars - 8, L'a'), 0, program, L"before",
         FALSE},
        {"plain text of 259 characters", std::wstring(259, L'p'), 0, program, std::wstring(259, L'p'), FALSE},
        {"plain text filling the field", std::wstring(260, L'p'), 0, program, L"before", FALSE},
        {"unknown keyword shrinks a full field", L"%Docs%" + std::wstring(254, L'r'), 0, program,
         std::wstring(254, L'r'), FALSE},
        {"private folder of 259 characters", L"%temp%", 1, L"C:\\" + std::wstring(257 - temp.size(), L'n'),
         temp + L"\\~" + std::wstring(257 - temp.size(), L'n'), TRUE},
        {"private folder of 260 characters", L"%temp%", 1, L"C:\\" + std::wstring(258 - temp.size(), L'n'),
         L"before", FALSE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PackageHeader header = MakeHeader();
        SetHeaderText(header.destination, kDestinationChars, row.destination);
        header.DeleteAfterRun = row.deleteAfterRun;
        WCHAR out[kDestinationChars + 8];
        for (WCHAR& c : out) c = L'#';
        lstrcpyW(out, L"before");
        EXPECT_EQ(row.privateTempFolder, ExpandDestination(out, &header, row.program.c_str()));
        EXPECT_EQ(row.expected, std::wstring(out));
        for (int i = kDestinationChars; i < kDestinationChars + 8; i++) EXPECT_EQ(L'#', out[i]) << "overrun at " << i;
    }
}

TEST(ApplyPackageHeader, CopiesEveryFieldAndExpandsTheDestination) {
    SetDefaultSettings();
    lstrcpyW(G.RunSettings.command, L"from the command line");
    G.RunSettings.OverwriteAll = 1;
    G.RunSettings.DeleteAfterRun = 1;

    PackageHeader header = SampleHeader();
    SetHeaderText(header.command, kCommandChars, L"");
    SetHeaderText(header.confirmCaption, kCaptionChars, L"");
    SetHeaderText(header.destination, kDestinationChars, L"%temp%\\sub");
    header.OpenFolderWhenDone = 0;
    header.PackageCrc = 0xCAFEF00D;
    EXPECT_FALSE(ApplyPackageHeader(&header, kProgram));

    const PackageHeader& settings = G.RunSettings;
    const char zeros[6] = {};
    EXPECT_EQ(0, memcmp(settings.magic, zeros, 6)) << "magic stays zero";
    EXPECT_EQ(0, settings.magicLast);
    EXPECT_EQ(0, settings.variant) << "only a '6' header sets the variant";
    EXPECT_EQ(TempPath() + L"\\sub", settings.destination);
    EXPECT_STREQ(L"", settings.command) << "empty texts are copied too";
    EXPECT_EQ(0, settings.OverwriteAll);
    EXPECT_EQ(0, settings.OpenFolderWhenDone);
    EXPECT_EQ(1, settings.DeleteAfterRun);
    EXPECT_EQ(1, settings.SkipDestinationDialog);
    EXPECT_EQ(0xCAFEF00Du, settings.PackageCrc);
    EXPECT_STREQ(L"", settings.confirmCaption);
    EXPECT_STREQ(L"Install the sample?", settings.confirmPrompt);
}

TEST(ApplyPackageHeader, SixtyFourBitPackageWithPrivateFolder) {
    SetDefaultSettings();
    lstrcpyW(G.RunSettings.destination, L"D:\\from the command line");
    PackageHeader header = SampleHeader();
    header.variant = kVariantX64;
    EXPECT_TRUE(ApplyPackageHeader(&header, L"Z:\\downloads\\setup pack.exe"));
    EXPECT_EQ(kVariantX64, G.RunSettings.variant);
    EXPECT_EQ(TempPath() + L"\\~setup pack.exe", G.RunSettings.destination);
    EXPECT_STREQ(L"setup.exe", G.RunSettings.command);
    EXPECT_STREQ(L"Sample", G.RunSettings.confirmCaption);
}

TEST(ApplyPackageHeader, EmptyDestinationKeepsTheCommandLineValue) {
    SetDefaultSettings();
    lstrcpyW(G.RunSettings.destination, L"D:\\from the command line");
    PackageHeader header = SampleHeader();
    SetHeaderText(header.destination, kDestinationChars, L"");
    EXPECT_FALSE(ApplyPackageHeader(&header, kProgram));
    EXPECT_STREQ(L"D:\\from the command line", G.RunSettings.destination);
}

// Read and applied: "%temp%" with DeleteAfterRun gives the private folder
// only when the package has a command.
TEST(ApplyPackageHeader, PrivateFolderNeedsACommand) {
    const struct {
        const wchar_t* command;
        BOOL privateTempFolder;
        std::wstring destination;
    } rows[] = {
        {L"setup.exe", TRUE, TempPath() + L"\\~package.exe"},
        {L"", FALSE, TempPath()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.command));
        PackageHeader header = SampleHeader();
        SetHeaderText(header.command, kCommandChars, row.command);
        HeaderRead read = ReadHeaderOf(PackageWith(header));
        ASSERT_EQ(ValidHeader, read.outcome);
        SetDefaultSettings();
        EXPECT_EQ(row.privateTempFolder, ApplyPackageHeader(&read.copy, L"Z:\\downloads\\package.exe"));
        EXPECT_EQ(row.destination, G.RunSettings.destination);
    }
}
