#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/entry.h"
#include "app/package.h"
#include "base/state.h"
#include "support/import_patch.h"
#include "support/test_files.h"

// Real files and folders for the parser's search: {cab} an existing
// cabinet file, {out} an existing folder, {file} another existing file,
// {missing} a path that does not exist, {root} the folder holding them.
class CommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW((root_ / L"pkg").c_str(), nullptr);
        CreateDirectoryW((root_ / L"out").c_str(), nullptr);
        WriteBytes(root_ / L"pkg\\data.cab", ReadBytes(BuildPath("tests/base/sample.cab")));
        WriteBytes(root_ / L"file.txt", std::string("text"));
    }

    std::wstring Expand(const std::wstring& pattern) const {
        const std::pair<const wchar_t*, std::wstring> names[] = {
            {L"{cab}", root_ / L"pkg\\data.cab"}, {L"{out}", root_ / L"out"},         {L"{file}", root_ / L"file.txt"},
            {L"{missing}", root_ / L"missing"},    {L"{root}", root_.path()},
        };
        std::wstring text = pattern;
        for (const auto& name : names) {
            size_t at;
            while ((at = text.find(name.first)) != std::wstring::npos) text.replace(at, wcslen(name.first), name.second);
        }
        return text;
    }

    TempFolder root_;
};

struct ParseResult {
    int result;
    std::wstring archivePath;
};

// Parses from the entry point's defaults; checks that nothing ran past the
// archive path buffer or past a text field of the run settings.
static ParseResult Parse(const std::wstring& line) {
    SetDefaultSettings();
    G.commandLineRefused = FALSE;
    G.QuietRun = FALSE;
    G.QuietExitCode = 0;
    struct {
        WCHAR path[MAX_PATH];
        WCHAR guard[16];
    } buffer;
    for (WCHAR& c : buffer.path) c = L'@';
    for (WCHAR& c : buffer.guard) c = L'#';

    ParseResult parsed;
    parsed.result = ParseCommandLine(line.c_str(), buffer.path);
    for (WCHAR c : buffer.guard) EXPECT_EQ(L'#', c) << "archive path overran its buffer";
    EXPECT_LT(wcsnlen(buffer.path, MAX_PATH), (size_t)MAX_PATH) << "archive path without terminator";
    parsed.archivePath = buffer.path;

    const PackageHeader& settings = G.RunSettings;
    EXPECT_LT(wcsnlen(settings.destination, kDestinationChars), (size_t)kDestinationChars);
    EXPECT_LT(wcsnlen(settings.command, kCommandChars), (size_t)kCommandChars);
    EXPECT_STREQ(L"", settings.confirmCaption);
    EXPECT_STREQ(L"", settings.confirmPrompt);
    EXPECT_EQ(0u, settings.PackageCrc);
    EXPECT_EQ(0, settings.variant);
    return parsed;
}

struct Expected {
    int overwriteAll, openFolder, deleteAfterRun, skipDialog;
    const wchar_t* command;
    const wchar_t* destination;
};

static void ExpectSettings(const Expected& expected) {
    const PackageHeader& settings = G.RunSettings;
    EXPECT_EQ(expected.overwriteAll, settings.OverwriteAll) << "OverwriteAll";
    EXPECT_EQ(expected.openFolder, settings.OpenFolderWhenDone) << "OpenFolderWhenDone";
    EXPECT_EQ(expected.deleteAfterRun, settings.DeleteAfterRun) << "DeleteAfterRun";
    EXPECT_EQ(expected.skipDialog, settings.SkipDestinationDialog) << "SkipDestinationDialog";
    EXPECT_STREQ(expected.command, settings.command);
}

TEST_F(CommandLine, Grammar) {
    const struct {
        const wchar_t* line;
        const wchar_t* archivePath;
        int result;
        Expected settings;
    } rows[] = {
        {L"{cab}", L"{cab}", 1, {0, 1, 0, 0, L"", L""}},
        {L"{cab}   ", L"{cab}", 1, {0, 1, 0, 0, L"", L""}},
        {L"{cab}\t", L"{cab}\t", 0, {0, 1, 0, 0, L"", L""}},  // a tab is no blank
        {L"{missing}", L"{missing}", 0, {0, 1, 0, 0, L"", L""}},
        {L"{out}", L"{out}", 0, {0, 1, 0, 0, L"", L""}},
        {L"\"{out}\\\"", L"{out}\\", 0, {0, 1, 0, 0, L"", L""}},
        {L"/H", L"", 1, {0, 1, 0, 1, L"", L""}},
        {L"   ", L"", 1, {0, 1, 0, 0, L"", L""}},
        {L"/H \"\"", L"", 1, {0, 1, 0, 1, L"", L""}},
        // A quoted destination after a blank: a folder or a missing path, not a file.
        {L"\"{cab}\" \"{out}\"", L"{cab}", 1, {0, 1, 0, 0, L"", L"{out}"}},
        {L"\"{cab}\" \"{missing}\"", L"{cab}", 1, {0, 1, 0, 0, L"", L"{missing}"}},
        {L"\"{cab}\" \"{file}\"", L"{cab}", 1, {0, 1, 0, 0, L"", L""}},
        {L"\"{cab}\"\"{out}\"", L"{cab}", 1, {0, 1, 0, 0, L"", L""}},
        {L"\"{cab}\" {out}", L"{cab}", 1, {0, 1, 0, 0, L"", L""}},
        {L"\"{cab}\" \"{out}\" /O", L"{cab}", 1, {1, 1, 0, 0, L"", L"{out}"}},
        {L"\"{cab}\"   \"{out}", L"{cab}", 1, {0, 1, 0, 0, L"", L"{out}"}},
        // An unquoted path, then a quoted one: the quoted text is the archive.
        {L"{cab} \"{out}\"", L"{out}", 0, {0, 1, 0, 0, L"", L""}},
        {L"{cab} /O /N", L"{cab}", 1, {1, 0, 0, 0, L"", L""}},
        {L"/O /N {cab}", L"{cab}", 1, {1, 0, 0, 0, L"", L""}},
        {L"/o/n{cab}", L"{cab}", 1, {1, 0, 0, 0, L"", L""}},
        {L"/O {cab} /N", L"", 1, {1, 0, 0, 0, L"", L""}},
        {L"/E:setup.exe {cab}", L"{cab}", 1, {0, 1, 0, 0, L"setup.exe", L""}},
        {L"/E:\"setup.exe -q\" /D {cab}", L"{cab}", 1, {0, 1, 1, 0, L"setup.exe -q", L""}},
        {L"/e:\"setup.exe -q\" /d \"{cab}\"", L"{cab}", 1, {0, 1, 1, 0, L"setup.exe -q", L""}},
        {L"/E:\"setup.exe /o\" {cab}", L"{cab}", 1, {1, 1, 0, 0, L"setup.exe /o", L""}},
        {L"/E:setup.exe", L"", 1, {0, 1, 0, 0, L"setup.exe", L""}},
        {L"/E:\"run me {cab}", L"", 1, {0, 1, 0, 0, L"run me {cab}", L""}},
        {L"/E:a.exe /E:b.exe {cab}", L"{cab}", 1, {0, 1, 0, 0, L"b.exe", L""}},
        {L"/E:x.exe /D{cab}", L"{cab}", 1, {0, 1, 1, 0, L"x.exe", L""}},
        {L"/D {cab}", L"{cab}", 1, {0, 1, 0, 0, L"", L""}},
        {L"/h /o /n /d /e:x.exe {cab}", L"{cab}", 1, {1, 0, 1, 1, L"x.exe", L""}},
        // No switch recognised: the whole line is the archive path.
        {L"/X {cab}", L"/X {cab}", 0, {0, 1, 0, 0, L"", L""}},
        {L"{cab} /", L"{cab} /", 0, {0, 1, 0, 0, L"", L""}},
        // /E without ':' consumes the next character unexamined.
        {L"/Eo {cab}", L"/Eo {cab}", 0, {0, 1, 0, 0, L"", L""}},
        {L"/E/O {cab}", L"/E/O {cab}", 0, {0, 1, 0, 0, L"", L""}},
        {L"/O {cab} /E", L"{cab} /E", 0, {1, 1, 0, 0, L"", L""}},
        // Forward slashes start switches, quoted or not.
        {L"C:/dir/x.cab", L"ir/x.cab", 0, {0, 1, 0, 0, L"", L""}},
        {L"\"{root}a/o\\x.cab\"", L"{root}a/o\\x.cab", 0, {1, 1, 0, 0, L"", L""}},
    };
    for (const auto& row : rows) {
        std::wstring line = Expand(row.line);
        SCOPED_TRACE(Narrow(row.line));
        ParseResult parsed = Parse(line);
        EXPECT_EQ(row.result, parsed.result);
        EXPECT_EQ(Expand(row.archivePath), parsed.archivePath);
        Expected settings = row.settings;
        std::wstring command = Expand(settings.command);
        settings.command = command.c_str();
        ExpectSettings(settings);
        EXPECT_EQ(Expand(settings.destination), G.RunSettings.destination);
        EXPECT_FALSE(G.commandLineRefused);
    }
}

// /Q: a token of its own, in either mode, but never a command's own switch
// or a part of a quoted path. It leaves the remainder mark like /D.
TEST_F(CommandLine, QuietSwitch) {
    const struct {
        const wchar_t* line;
        const wchar_t* archivePath;
        int result;
        bool quiet;
        const wchar_t* command;
    } rows[] = {
        {L"/Q", L"", 1, true, L""},
        {L"/q {cab}", L"{cab}", 1, true, L""},
        {L"{cab} /Q", L"{cab}", 1, true, L""},
        {L"/Q \"{cab}\" \"{out}\"", L"{cab}", 1, true, L""},
        {L"/Q/O {cab}", L"{cab}", 1, false, L""},
        {L"/Qx {cab}", L"/Qx {cab}", 0, false, L""},
        {L"/E:\"msiexec /i a.msi /qn\" {cab}", L"{cab}", 1, false, L"msiexec /i a.msi /qn"},
        {L"/E:\"setup.exe /q\" {cab}", L"{cab}", 1, false, L"setup.exe /q"},
        {L"/E:setup.exe/q {cab}", L"{cab}", 1, false, L"setup.exe/q"},
        {L"/E:\"setup.exe /s\" /Q {cab}", L"{cab}", 1, true, L"setup.exe /s"},
        {L"\"C:/quarterly/x.cab\"", L"C:/quarterly/x.cab", 0, false, L""},
        {L"\"{root}a/q b.cab\" /N", L"{root}a/q b.cab", 0, false, L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.line));
        ParseResult parsed = Parse(Expand(row.line));
        EXPECT_EQ(row.result, parsed.result);
        EXPECT_EQ(Expand(row.archivePath), parsed.archivePath);
        EXPECT_EQ(row.quiet, G.QuietRun != FALSE);
        EXPECT_STREQ(row.command, G.RunSettings.command);
    }
}

// A valid package header replaces the run settings, not /Q.
TEST_F(CommandLine, QuietSwitchOutlivesAPackageHeader) {
    Parse(L"/Q");
    ASSERT_TRUE(G.QuietRun);
    PackageHeader header = {};
    memcpy(&header, kHeaderMagic, sizeof(kHeaderMagic));
    header.variant = kVariantPlain;
    header.SkipDestinationDialog = 1;
    WCHAR archivePath[MAX_PATH] = L"C:\\pkg\\package.exe";
    ApplyPackageHeader(&header, archivePath);
    EXPECT_EQ(1, G.RunSettings.SkipDestinationDialog);
    EXPECT_TRUE(G.QuietRun);
}

TEST_F(CommandLine, ParserEditsACopyOfTheLine) {
    std::wstring line = Expand(L"/E:\"setup.exe -q\" \"{cab}\"");
    std::wstring original = line;
    WCHAR archivePath[MAX_PATH];
    SetDefaultSettings();
    EXPECT_EQ(1, ParseCommandLine(line.c_str(), archivePath));
    EXPECT_EQ(original, line);
}

// Over-long input is refused: a line of 512 characters or more.
TEST_F(CommandLine, OverLongLines) {
    const struct {
        size_t length;
        bool refused;
    } rows[] = {{511, false}, {512, true}, {600, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.length);
        std::wstring line = L"/O" + std::wstring(row.length - 4, L' ') + L"/N";
        ASSERT_EQ(row.length, line.size());
        ParseResult parsed = Parse(line);
        EXPECT_EQ(L"", parsed.archivePath);
        EXPECT_EQ(row.refused, G.commandLineRefused != FALSE);
        if (row.refused) {
            EXPECT_EQ(0, parsed.result);
            ExpectSettings({0, 1, 0, 0, L"", L""});
        } else {
            EXPECT_EQ(1, parsed.result);
            ExpectSettings({1, 0, 0, 0, L"", L""});
        }
    }
}

// A path of exactly length characters under the test folder, its folders
// created; the file itself when create is set.
static std::wstring PathOfLength(const std::wstring& root, size_t length, bool create) {
    std::wstring folder = root;
    while (length - folder.size() > 120) {
        folder += std::wstring(100, L'd') + L"\\";
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    std::wstring path = folder + std::wstring(length - folder.size(), L'f');
    if (create) WriteBytes(path, std::string("MSCF"));
    return path;
}

// Archive paths of 260 characters or more are refused, in every form.
TEST_F(CommandLine, OverLongArchivePaths) {
    const struct {
        size_t length;
        bool refused;
    } lengths[] = {{259, false}, {260, true}, {300, true}};
    const wchar_t* forms[] = {L"{path}", L"\"{path}\"", L"/O {path}", L"/O {path}     ", L"\"{path}\" \"{out}\""};
    for (const auto& length : lengths) {
        std::wstring path = PathOfLength(root_.path(), length.length, !length.refused);
        ASSERT_EQ(length.length, path.size());
        for (const wchar_t* form : forms) {
            SCOPED_TRACE(Narrow(form) + " with " + std::to_string(length.length) + " characters");
            std::wstring line = Expand(form);
            line.replace(line.find(L"{path}"), 6, path);
            ParseResult parsed = Parse(line);
            EXPECT_EQ(length.refused, G.commandLineRefused != FALSE);
            EXPECT_EQ(length.refused ? 0 : 1, parsed.result);
            EXPECT_EQ(length.refused ? L"" : path, parsed.archivePath);
        }
    }
}

// A destination of 260 characters or more is not taken.
TEST_F(CommandLine, OverLongDestinations) {
    const struct {
        size_t length;
        bool taken;
    } rows[] = {{259, true}, {260, false}, {300, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.length);
        std::wstring destination = PathOfLength(root_.path(), row.length, false);
        ParseResult parsed = Parse(Expand(L"\"{cab}\" \"") + destination + L"\"");
        EXPECT_EQ(1, parsed.result);
        EXPECT_EQ(Expand(L"{cab}"), parsed.archivePath);
        EXPECT_EQ(row.taken ? destination : L"", G.RunSettings.destination);
        EXPECT_FALSE(G.commandLineRefused);
    }
}

// An /E: command of 128 characters or more is refused: the command stays
// empty, and /D is undone for want of one.
TEST_F(CommandLine, OverLongCommands) {
    const struct {
        size_t length;
        bool taken;
    } rows[] = {{127, true}, {128, false}, {200, false}};
    for (const auto& row : rows) {
        std::wstring unquoted(row.length, L'c');
        std::wstring quoted = L"run.exe " + std::wstring(row.length - 8, L'q');
        const std::wstring lines[] = {L"/E:" + unquoted + L" /D {cab}", L"/E:\"" + quoted + L"\" /D \"{cab}\""};
        const std::wstring commands[] = {unquoted, quoted};
        for (int i = 0; i < 2; i++) {
            SCOPED_TRACE(Narrow(lines[i].substr(0, 12)) + " with " + std::to_string(row.length) + " characters");
            ParseResult parsed = Parse(Expand(lines[i]));
            EXPECT_EQ(1, parsed.result);
            EXPECT_EQ(Expand(L"{cab}"), parsed.archivePath);
            EXPECT_EQ(row.taken ? commands[i] : L"", G.RunSettings.command);
            EXPECT_EQ(row.taken ? 1 : 0, G.RunSettings.DeleteAfterRun);
            EXPECT_EQ(0, G.RunSettings.OverwriteAll) << "the field behind the command";
        }
    }
}

// Under /Q, found in the whole line whatever is wrong with it, a refused
// line gives its code; over-long commands and destinations are refused
// too. Without /Q the same lines are taken as they are otherwise.
TEST_F(CommandLine, QuietRefusals) {
    const std::wstring padding(520, L' ');
    const std::wstring longCommand = std::wstring(124, L'c') + L".exe";
    const std::wstring longDestination = L"{root}" + std::wstring(270, L'd');
    const struct {
        std::wstring line;
        bool quiet;
        bool refused;
        DWORD code;
        bool refusedWithoutQ;  // the same line without its /Q
    } rows[] = {
        {L"/Q \"{cab}\"" + padding, true, true, ERROR_INVALID_COMMAND_LINE, true},
        {L"\"{cab}\"" + padding + L"/Q", true, true, ERROR_INVALID_COMMAND_LINE, true},
        {L"/E:\"setup.exe /q\" \"{cab}\"" + padding, false, true, 0, true},
        {L"\"{root}a/q b.cab\"" + padding, false, true, 0, true},
        {L"/Q \"{root}" + std::wstring(260, L'n') + L"\"", true, true, ERROR_INVALID_COMMAND_LINE, true},
        {L"/Q /E:" + longCommand + L" {cab}", true, true, ERROR_INVALID_COMMAND_LINE, false},
        {L"/E:" + longCommand + L" /Q {cab}", true, true, ERROR_INVALID_COMMAND_LINE, false},
        {L"/E:\"" + longCommand + L"\" /Q \"{cab}\"", true, true, ERROR_INVALID_COMMAND_LINE, false},
        {L"/Q \"{cab}\" \"" + longDestination + L"\"", true, true, ERROR_FILENAME_EXCED_RANGE, false},
        {L"/Q /E:setup.exe \"{cab}\" \"{out}\"", true, false, 0, false},
    };
    for (const auto& row : rows) {
        std::wstring line = Expand(row.line);
        SCOPED_TRACE(Narrow(line.substr(0, 60)) + " (" + std::to_string(line.size()) + " characters)");
        ParseResult parsed = Parse(line);
        EXPECT_EQ(row.quiet, G.QuietRun != FALSE);
        EXPECT_EQ(row.refused, G.commandLineRefused != FALSE);
        EXPECT_EQ(row.code, G.QuietExitCode);
        if (row.refused) EXPECT_EQ(0, parsed.result);
        if (row.refused) EXPECT_EQ(L"", parsed.archivePath);

        size_t quiet = line.find(L"/Q");
        if (quiet == std::wstring::npos) continue;
        ParseResult without = Parse(line.erase(quiet, 2));
        EXPECT_FALSE(G.QuietRun);
        EXPECT_EQ(row.refusedWithoutQ, G.commandLineRefused != FALSE) << "without /Q";
        EXPECT_EQ(0u, G.QuietExitCode);
        if (row.code == ERROR_FILENAME_EXCED_RANGE) EXPECT_STREQ(L"", G.RunSettings.destination);
        if (!row.refusedWithoutQ) EXPECT_EQ(Expand(L"{cab}"), without.archivePath);
    }
}

// The error mode of each system call that touches a drive, as it was when
// the parser made it.
static std::vector<UINT> modesAtDriveAccess;
static DWORD(WINAPI* realSearchPathW)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPWSTR, LPWSTR*);
static DWORD(WINAPI* realGetFileAttributesW)(LPCWSTR);
static DWORD WINAPI ModeRecordingSearchPathW(LPCWSTR path, LPCWSTR name, LPCWSTR extension, DWORD chars, LPWSTR buffer,
                                             LPWSTR* part) {
    modesAtDriveAccess.push_back(GetErrorMode());
    return realSearchPathW(path, name, extension, chars, buffer, part);
}
static DWORD WINAPI ModeRecordingGetFileAttributesW(LPCWSTR path) {
    modesAtDriveAccess.push_back(GetErrorMode());
    return realGetFileAttributesW(path);
}

// Under /Q the system's error boxes are off before the parser looks for
// the archive or the destination; without it the mode is left alone.
TEST_F(CommandLine, QuietSwitchSetsTheErrorModeBeforeAnyDriveIsTouched) {
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    realSearchPathW = (decltype(realSearchPathW))(void*)GetProcAddress(kernel, "SearchPathW");
    realGetFileAttributesW = (decltype(realGetFileAttributesW))(void*)GetProcAddress(kernel, "GetFileAttributesW");
    ASSERT_GT(PatchImports((void*)realSearchPathW, (void*)ModeRecordingSearchPathW), 0);
    ASSERT_GT(PatchImports((void*)realGetFileAttributesW, (void*)ModeRecordingGetFileAttributesW), 0);
    const UINT quietMode = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;
    const struct {
        const wchar_t* line;
        UINT mode;
    } rows[] = {
        {L"\"{cab}\" \"{out}\" /Q", quietMode},
        {L"/q {cab}", quietMode},
        {L"\"{cab}\" \"{out}\"", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.line));
        SetErrorMode(0);
        modesAtDriveAccess.clear();
        Parse(Expand(row.line));
        EXPECT_FALSE(modesAtDriveAccess.empty());
        for (UINT mode : modesAtDriveAccess) EXPECT_EQ(row.mode, mode);
        EXPECT_EQ(row.mode, GetErrorMode());
    }
    SetErrorMode(0);
}
