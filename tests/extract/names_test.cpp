// Name decoding and cleaning, output paths and folder creation: the cases
// that show no message box (those are in the dialog tests).
#include <gtest/gtest.h>

#include <string>

#include "base/state.h"
#include "extract/names.h"
#include "extract/output_path.h"
#include "support/test_files.h"

struct CleanCase {
    const wchar_t* stored;
    const wchar_t* cleaned;
};

static std::wstring Clean(const std::wstring& stored) {
    std::vector<WCHAR> buffer(stored.begin(), stored.end());
    buffer.resize(kCleanNameLimit + 8, 0);
    int result = CleanStoredName(buffer.data());
    EXPECT_GT(result, 0) << Narrow(stored);
    return buffer.data();
}

TEST(CleanStoredName, TurnsStoredNamesIntoRelativePaths) {
    const CleanCase cases[] = {
        // Separators.
        {L"a/b/c.txt", L"a\\b\\c.txt"},
        {L"a/b\\c//d", L"a\\b\\c\\d"},
        {L"a\\\\\\b", L"a\\b"},
        {L" a", L"a"},
        {L"a\\ b", L"a\\b"},
        {L"d\\  x\\ y", L"d\\x\\y"},
        {L"a\\", L"a\\"},
        {L"\\\\\\", L""},
        // Characters Windows refuses, and the hidden word joiner.
        {L"a:b", L"a_b"},
        {L"a?b*c", L"a_b_c"},
        {L"a\"<>|b", L"a____b"},
        {L"a\x2060" L"b", L"a_b"},
        {L"a\x202E" L"b", L"a\x202E" L"b"},
        {L"a\x01" L"b\x1F" L"c\rd\ne\tf", L"a_b_c_d_e_f"},
        {L"x\x7F", L"x\x7F"},
        {L"file.txt::$DATA", L"file.txt__$DATA"},
        // Dots and blanks that end a component.
        {L"end.", L"end"},
        {L"end. .", L"end"},
        {L"a.\\b", L"a\\b"},
        {L"a \\b", L"a\\b"},
        {L"a . \\b", L"a\\b"},
        {L"...x", L"...x"},
        {L"a.b", L"a.b"},
        // Traversal in every place.
        {L"..\\x", L"x"},
        {L".\\x", L"x"},
        {L"../../../x", L"x"},
        {L"a\\..\\b", L"a\\b"},
        {L"a\\.\\b", L"a\\b"},
        {L"a\\...\\b", L"a\\b"},
        {L"a\\. .\\b", L"a\\b"},
        {L"a\\..", L"a\\"},
        {L"..\\..", L""},
        {L" ..\\x", L"x"},
        // Drive letters, UNC and device-path prefixes (the handler has
        // dropped one leading backslash already).
        {L"C:\\x\\y", L"C_\\x\\y"},
        {L"C:x", L"C_x"},
        {L"C:", L"C_"},
        {L"\\server\\share\\f", L"server\\share\\f"},
        {L"\\?\\C:\\x", L"_\\C_\\x"},
        {L"\\.\\PhysicalDrive0", L"PhysicalDrive0"},
        // Device names.
        {L"AUX", L"_UX"},
        {L"x\\con", L"x\\_on"},
        {L"LPT9\\z", L"_PT9\\z"},
        {L"PRN\\x", L"_RN\\x"},
        {L"nul", L"_ul"},
        {L"COM0", L"_OM0"},
        {L"COM10", L"COM10"},
        {L"auxiliary", L"auxiliary"},
        {L"AUX.txt", L"_UX.txt"},
        {L"nul.tar.gz", L"_ul.tar.gz"},
        {L"CON .txt", L"_ON .txt"},
        {L"CON x", L"CON x"},
        {L"CON ", L"_ON"},
        {L"CONIN$", L"_ONIN$"},
        {L"conout$.log", L"_onout$.log"},
        {L"CONINx", L"CONINx"},
        {L"COM\x00B9", L"_OM\x00B9"},
        {L"lpt\x00B3.txt", L"_pt\x00B3.txt"},
        {L"d\\COM\x00B2\\f", L"d\\_OM\x00B2\\f"},
        {L"COM\x2074", L"COM\x2074"},
        {L"xAUX", L"xAUX"},
    };
    for (const CleanCase& row : cases) {
        SCOPED_TRACE(Narrow(row.stored));
        EXPECT_EQ(row.cleaned, Clean(row.stored));
    }
}

TEST(CleanStoredName, KeepsLongNamesBelowTheLimit) {
    std::wstring name = std::wstring(300, L'a') + L"\\" + std::wstring(kCleanNameLimit - 302, L'b');
    ASSERT_EQ(kCleanNameLimit - 1, (int)name.size());
    EXPECT_EQ(name, Clean(name));
}

TEST(CleanStoredName, EmptyOrMissingNameFailsWithoutMessage) {
    WCHAR empty[4] = L"";
    EXPECT_EQ(0, CleanStoredName(empty));
    EXPECT_EQ(0, CleanStoredName(nullptr));
    EXPECT_EQ(0, G.AbortCode);
}

TEST(EscapeDeviceName, LooksOnlyAtTheComponentThatStartsThere) {
    struct Row {
        const wchar_t* component;
        BOOL device;
    } rows[] = {
        {L"aux", TRUE},        {L"AUX\\rest", TRUE}, {L"Aux.", TRUE},    {L"AUX  .x", TRUE}, {L"AUX  x", FALSE},
        {L"com1", TRUE},       {L"COM9.a", TRUE},    {L"COM", FALSE},    {L"COMA", FALSE},   {L"LPT\x00B9", TRUE},
        {L"CONOUT$\\", TRUE},  {L"CONOUT", FALSE},   {L"CLOCK$", FALSE}, {L"", FALSE},       {L"_UX", FALSE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.component));
        EXPECT_EQ(row.device, EscapeDeviceName(row.component));
    }
}

TEST(LooksLikeUtf8, DecidesByBytePatternUnderTheWesternCodePage) {
    ASSERT_EQ(1252u, GetACP());
    struct Row {
        const char* bytes;
        BOOL utf8;
    } rows[] = {
        {"", FALSE},
        {"plain.txt", FALSE},
        {"caf\xC3\xA9.txt", TRUE},
        {"\xC3\xA9", TRUE},
        {"\xE3\x81\x82", TRUE},
        {"\xF0\x9F\x98\x80.png", TRUE},
        {"a\x80" "b", FALSE},
        {"\xA9", FALSE},
        {"\xC3", FALSE},
        {"\xE3\x81", FALSE},
        {"\xE9t\xE9.txt", FALSE},
        {"\xC3\xA9\xC3\xA9", TRUE},
        {"\xE0\xA0\x82\xD0\xB0", TRUE},
        {"\xFF", FALSE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes);
        EXPECT_EQ(row.utf8, LooksLikeUtf8(row.bytes));
    }
    EXPECT_FALSE(LooksLikeUtf8(nullptr));
}

TEST(CountLeadingOnes, CountsFromTheTopBit) {
    EXPECT_EQ(0, CountLeadingOnes(0x7F));
    EXPECT_EQ(1, CountLeadingOnes(0xBF));
    EXPECT_EQ(2, CountLeadingOnes(0xC3));
    EXPECT_EQ(3, CountLeadingOnes(0xE3));
    EXPECT_EQ(4, CountLeadingOnes(0xF0));
    EXPECT_EQ(8, CountLeadingOnes(0xFF));
}

TEST(DecodeStoredName, UsesUtf8OrTheAnsiCodePage) {
    WCHAR name[MAX_PATH];
    ASSERT_TRUE(DecodeStoredName("caf\xC3\xA9.txt", name));
    EXPECT_STREQ(L"caf\x00E9.txt", name);
    ASSERT_TRUE(DecodeStoredName("caf\xE9.txt", name));
    EXPECT_STREQ(L"caf\x00E9.txt", name);
    ASSERT_TRUE(DecodeStoredName("plain", name));
    EXPECT_STREQ(L"plain", name);
}

TEST(DecodeStoredName, RefusesNamesThatDoNotFitThePathBuffer) {
    WCHAR name[MAX_PATH];
    std::string fits(MAX_PATH - 1, 'a');
    ASSERT_TRUE(DecodeStoredName(fits.c_str(), name));
    EXPECT_EQ(MAX_PATH - 1, lstrlenW(name));
    std::string ansi(MAX_PATH, 'a');
    EXPECT_FALSE(DecodeStoredName(ansi.c_str(), name));
    std::string utf8 = "\xC3\xA9" + std::string(MAX_PATH - 1, 'a');
    EXPECT_FALSE(DecodeStoredName(utf8.c_str(), name));
}

TEST(AnsiToWide, ConvertsAtMost1039Characters) {
    EXPECT_STREQ(L"\x00E9t\x00E9", AnsiToWide("\xE9t\xE9"));
    std::string huge(2000, 'x');
    EXPECT_EQ(kWideNameChars - 1, lstrlenW(AnsiToWide(huge.c_str())));
    EXPECT_STREQ(L"short", AnsiToWide("short"));
}

TEST(BuildOutputPath, PutsPlainNamesStraightUnderTheDestination) {
    TempFolder temp;
    WCHAR name[MAX_PATH] = L"file.txt  ";
    WCHAR out[MAX_PATH];
    EXPECT_EQ(1, BuildOutputPath(temp.path().c_str(), name, out));
    EXPECT_EQ(temp / L"file.txt", out);
    EXPECT_TRUE(ListTree(temp.path()).empty());
}

TEST(BuildOutputPath, CreatesTheFoldersOfTheName) {
    TempFolder temp;
    WCHAR name[MAX_PATH] = L"d1\\d2\\f";
    WCHAR out[MAX_PATH];
    EXPECT_EQ(1, BuildOutputPath(temp.path().c_str(), name, out));
    EXPECT_EQ(temp / L"d1\\d2\\f", out);
    EXPECT_EQ((std::vector<std::wstring>{L"d1\\", L"d1\\d2\\"}), ListTree(temp.path()));
}

TEST(BuildOutputPath, FolderEntryCreatesItsFoldersAndIsSkipped) {
    TempFolder temp;
    WCHAR name[MAX_PATH] = L"d\\e\\";
    WCHAR out[MAX_PATH];
    EXPECT_EQ(0, BuildOutputPath(temp.path().c_str(), name, out));
    EXPECT_TRUE(FolderExists(temp / L"d\\e"));
}

// Levels of the previous entry's folder are not looked at again; the
// result must be the same as walking every level.
TEST(BuildOutputPath, FoldersOfConsecutiveEntriesAllExist) {
    TempFolder temp;
    const wchar_t* names[] = {L"a\\b\\c\\1", L"a\\b\\c\\2", L"a\\b\\d\\3", L"a\\e\\4", L"f\\5", L"a\\b\\c\\6",
                              L"A\\B\\g\\7"};
    for (const wchar_t* entry : names) {
        SCOPED_TRACE(Narrow(entry));
        WCHAR name[MAX_PATH], out[MAX_PATH];
        lstrcpyW(name, entry);
        ASSERT_EQ(1, BuildOutputPath(temp.path().c_str(), name, out));
        std::wstring path = out;
        EXPECT_TRUE(FolderExists(path.substr(0, path.rfind(L'\\'))));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"a\\", L"a\\b\\", L"a\\b\\c\\", L"a\\b\\d\\", L"a\\b\\g\\", L"a\\e\\",
                                         L"f\\"}),
              ListTree(temp.path()));
}

TEST(BuildOutputPath, SkipsOnlyTheLevelsSharedWithThePreviousFolder) {
    TempFolder temp;
    WCHAR name[MAX_PATH] = L"x\\y\\1", out[MAX_PATH];
    ASSERT_EQ(1, BuildOutputPath(temp.path().c_str(), name, out));
    RemoveTree(temp / L"x\\y");
    lstrcpyW(name, L"x\\w\\2");
    ASSERT_EQ(1, BuildOutputPath(temp.path().c_str(), name, out));
    EXPECT_EQ((std::vector<std::wstring>{L"x\\", L"x\\w\\"}), ListTree(temp.path()));
}

TEST(CreateFolderPath, CreatesEveryMissingLevelOfADrivePath) {
    TempFolder temp;
    EXPECT_TRUE(CreateFolderPath((temp / L"p\\q\\r").c_str()));
    EXPECT_TRUE(FolderExists(temp / L"p\\q\\r"));
    EXPECT_TRUE(CreateFolderPath((temp / L"p\\q\\r\\").c_str()));
}

TEST(CreateFolderPath, CountsALevelThatIsAFileAsPresent) {
    TempFolder temp;
    WriteBytes(temp / L"file", std::string("x"));
    EXPECT_TRUE(CreateFolderPath((temp / L"file").c_str()));
}

TEST(CreateFolderPath, RefusesRelativeShortAndOverlongPaths) {
    const wchar_t* refused[] = {L"relative\\dir", L"C:", L"C:dir", L"\\\\srv", L"\\\\srvname", L"\\single\\x", L""};
    for (const wchar_t* path : refused) {
        SCOPED_TRACE(Narrow(path));
        EXPECT_FALSE(CreateFolderPath(path));
    }
    TempFolder temp;
    std::wstring longPath = temp.path();
    while (longPath.size() < MAX_PATH) longPath += L"level\\";
    EXPECT_FALSE(CreateFolderPath(longPath.c_str()));
    EXPECT_TRUE(ListTree(temp.path()).empty());
}

// Wine maps \\server\share to the prefix's dosdevices\unc\server\share.
TEST(CreateFolderPath, WalksAShareFromItsRoot) {
    WCHAR prefix[MAX_PATH];
    ASSERT_TRUE(GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH));
    std::wstring unc = L"Z:" + std::wstring(prefix) + L"\\dosdevices\\unc\\";
    for (wchar_t& c : unc)
        if (c == L'/') c = L'\\';
    std::wstring server = L"vuvsrv" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateFolderPath((unc + server + L"\\share").c_str()));

    std::wstring share = L"\\\\" + server + L"\\share\\";
    EXPECT_TRUE(CreateFolderPath((share + L"dir\\sub").c_str()));
    EXPECT_TRUE(FolderExists(unc + server + L"\\share\\dir\\sub"));
    EXPECT_FALSE(CreateFolderPath((L"\\\\" + server + L"x\\share\\dir").c_str()));
    EXPECT_FALSE(CreateFolderPath((L"\\\\" + server + L"\\share").c_str()));
    RemoveTree(unc + server);
}
