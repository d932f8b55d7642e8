// The names Windows can't hold as they are: the module's rules, and names
// equal when case is ignored.
#include "support/tool_test.h"
#include "vuvpack/package/windows_case.h"
#include "vuvpack/package/windows_names.h"
#include "vuvpack/system/utf_text.h"

namespace {

// Each stored name: accepted ("") or refused with the reason's text.
TEST(WindowsNames, OneTableOfNames) {
    struct Case {
        std::u16string name;
        const char* reason;
    };
    const Case cases[] = {
        {u"readme.txt", ""},
        {u"docs\\guide.html", ""},
        {u"...x", ""},
        {u"a.b.c", ""},
        {u"a b", ""},
        {u"caf\u00E9 \u65E5\u672C.txt", ""},
        {u"x\u007F", ""},
        {u"a\u202Eb", ""},
        {u"COM10", ""},
        {u"auxiliary", ""},
        {u"CON x", ""},
        {u"CONINx", ""},
        {u"xAUX", ""},
        {u"COM\u2074", ""},
        {u"CLOCK$", ""},
        {u"a:b.txt", "its name holds ':', which Windows refuses in names"},
        {u"q?.txt", "its name holds '?'"},
        {u"star*", "its name holds '*'"},
        {u"quote\"", "its name holds '\"'"},
        {u"<a>", "its name holds '<'"},
        {u"pipe|", "its name holds '|'"},
        {u"tab\tx", "its name holds U+0009"},
        {u"\u001Fx", "its name holds U+001F"},
        {u"a\u2060b", "its name holds U+2060, a word joiner, which the module replaces"},
        {u"d:e\\f.txt", "its folder \"d:e\" holds ':'"},
        {u"CON", "its name is the device CON on Windows"},
        {u"con", "its name is the device con on Windows"},
        {u"aux.txt", "its name is the device aux"},
        {u"nul.tar.gz", "its name is the device nul"},
        {u"PRN", "its name is the device PRN"},
        {u"CON .txt", "its name is the device CON"},
        {u"CONIN$", "its name is the device CONIN$"},
        {u"conout$.log", "its name is the device conout$"},
        {u"COM1", "its name is the device COM1"},
        {u"lpt9.doc", "its name is the device lpt9"},
        {u"COM0", "its name is the device COM0"},
        {u"COM\u00B9", "its name is the device COM\u00B9"},
        {u"LPT\u00B3.txt", "its name is the device LPT\u00B3"},
        {u"x\\AUX\\y", "its folder \"AUX\" is the device AUX"},
        {u"trail.", "its name ends with a dot, which Windows drops"},
        {u"end. .", "its name ends with a dot"},
        {u"blank ", "its name ends with a blank, which Windows drops"},
        {u"dots.\\x", "its folder \"dots.\" ends with a dot"},
        {u"...", "its name ends with a dot"},
        {u" lead", "its name starts with a blank, which the module drops"},
        {u"d\\ x", "its name starts with a blank"},
        {u"a\\\\b", "an empty folder name"},
        {u"\\a", "an empty folder name"},
        {u"folder entry\\", ""},
        {u"a/b:c", "its name holds ':'"},
        {u"CON ", "its name is the device CON on Windows; its name ends with a blank"},
    };
    for (const Case& row : cases) {
        std::string shown = Utf16ToUtf8(row.name);
        SCOPED_TRACE(shown);
        std::string problem = StoredNameRuleProblem(row.name);
        if (row.reason[0] == 0) {
            EXPECT_EQ("", problem);
        } else {
            EXPECT_NE(std::string::npos, problem.find(row.reason)) << problem;
        }
    }
}

TEST(WindowsCase, UpperCasesLettersOfEveryScriptButNotSurrogates) {
    const std::pair<char16_t, char16_t> cases[] = {
        {u'a', u'A'}, {u'z', u'Z'}, {u'A', u'A'}, {u'1', u'1'}, {u'\u00E4', u'\u00C4'}, {u'\u00FF', u'\u0178'},
        {u'\u00DF', u'\u00DF'}, {u'\u0101', u'\u0100'}, {u'\u0100', u'\u0100'}, {u'\u0102', u'\u0102'},
        {u'\u0103', u'\u0102'}, {u'\u017E', u'\u017D'}, {u'\u01C6', u'\u01C4'}, {u'\u03B1', u'\u0391'},
        {u'\u03C2', u'\u03A3'}, {u'\u03C9', u'\u03A9'}, {u'\u0430', u'\u0410'}, {u'\u044F', u'\u042F'},
        {u'\u0451', u'\u0401'}, {u'\u0561', u'\u0531'}, {u'\u1F80', u'\u1F88'}, {u'\u24D0', u'\u24B6'},
        {u'\uFF41', u'\uFF21'}, {u'\u3042', u'\u3042'}, {(char16_t)0xD801, (char16_t)0xD801},
        {(char16_t)0xDC28, (char16_t)0xDC28}, {u'\uFFFF', u'\uFFFF'}, {u'\u0000', u'\u0000'},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE((unsigned)row.first);
        EXPECT_EQ((unsigned)row.second, (unsigned)WindowsUpperCase(row.first));
    }
}

// Which files of a list Windows takes for another, whole paths compared
// component by component.
TEST(WindowsNames, NamesEqualWhenCaseIsIgnoredAreFoundInPairs) {
    struct Case {
        const char* what;
        std::vector<std::u16string> names;
        std::vector<std::string> problems;  // "index: text" for each file found
    };
    const Case cases[] = {
        {"distinct", {u"a.txt", u"b.txt", u"docs\\a.txt", u"a"}, {}},
        {"ascii pair",
         {u"Index.html", u"index.html", u"other"},
         {"0: Windows takes it for index.html (the names are equal when case is ignored)",
          "1: Windows takes it for Index.html"}},
        {"umlaut",
         {u"\u00C4rger", u"\u00E4rger"},
         {"0: Windows takes it for \u00E4rger", "1: Windows takes it for \u00C4rger"}},
        {"greek", {u"\u03A3\u039F\u03A6\u0399\u0391", u"\u03C3\u03BF\u03C6\u03B9\u03B1"}, {"0: ", "1: "}},
        {"cyrillic", {u"\u0414\u043E\u043A", u"\u0434\u043E\u043A"}, {"0: ", "1: "}},
        {"sharp s is no ss", {u"stra\u00DFe", u"STRASSE"}, {}},
        {"non-BMP letters are not folded", {u"\U00010400", u"\U00010428"}, {}},
        {"folders",
         {u"Docs\\a", u"docs\\a", u"docs\\b"},
         {"0: Windows takes it for docs\\a", "1: Windows takes it for Docs\\a"}},
        {"folders merged", {u"Docs\\a", u"docs\\b"}, {}},
        {"file and folder", {u"X\\y", u"x"}, {"1: Windows takes it for the folder X (the names"}},
        {"file and deeper folder", {u"a\\B\\c", u"A\\b"}, {"1: Windows takes it for the folder a\\B"}},
        {"three of a kind",
         {u"Ab", u"aB", u"ab", u"\uFF41b"},
         {"0: Windows takes it for aB", "1: Windows takes it for Ab", "2: Windows takes it for Ab"}},
        {"the same name twice", {u"same", u"same"}, {"0: Windows takes it for same", "1: Windows takes it for same"}},
        {"rule and pair",
         {u"Con", u"con"},
         {"0: its name is the device Con on Windows; Windows takes it for con", "1: its name is the device con"}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        std::vector<NamedFile> files;
        for (const std::u16string& name : row.names) files.push_back(NamedFile{name, Utf16ToUtf8(name)});
        std::vector<NameProblem> found = WindowsNameProblems(files);
        ASSERT_EQ(row.problems.size(), found.size());
        for (size_t i = 0; i < found.size(); i++) {
            std::string line = std::to_string(found[i].index) + ": " + found[i].problem;
            EXPECT_EQ(0u, line.find(row.problems[i])) << line;
        }
    }
}

}  // namespace
