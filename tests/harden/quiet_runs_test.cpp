// Unattended runs (/Q) of the built module, one per way such a run can
// end here: each ends by itself, shows no window at all (every window its
// process creates or shows is recorded by a hook), runs the command only
// where it may, and ends with the exit code that tells what happened.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/package_header.h"
#include "support/cab_writer.h"
#include "support/e2e/module_run.h"
#include "support/harden/mount_paths.h"
#include "support/pe_image.h"
#include "support/test_files.h"

namespace {

constexpr DWORD QuietRunMs = 60000;  // emulated 32-bit Wine is slow; a hang is far longer

// What Wine's installer (msiexec) ends with for a file that is no
// installer database: ERROR_FUNCTION_FAILED, where Windows reports 1620.
constexpr DWORD ERROR_INSTALL_FAILURE_WINE = ERROR_FUNCTION_FAILED;

// Stand for what the system reports for the same failure, found out by
// doing it: creating a file on the read-only mount (Windows:
// ERROR_WRITE_PROTECT, Wine 8: ERROR_ACCESS_DENIED) and renaming a file,
// through its own handle as the module does, over one held open without
// sharing (ERROR_ACCESS_DENIED; opening it would be the sharing
// violation). The run must hand back the system's report.
constexpr DWORD ReadOnlyMountReport = 0xFFFF0001;
constexpr DWORD HeldFileReport = 0xFFFF0002;

DWORD SystemReport(DWORD stand) {
    if (stand == ReadOnlyMountReport) {
        std::wstring probe = Mounts() + L"readonly\\existing\\probe.txt";
        HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return GetLastError();
        CloseHandle(file);
        return 0;
    }
    TempFolder folder;
    WriteBytes(folder / L"old.txt", std::string("old"));
    WriteBytes(folder / L"new.txt", std::string("new"));
    HANDLE held = CreateFileW((folder / L"old.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE renamed = CreateFileW((folder / L"new.txt").c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    std::wstring target = folder / L"old.txt";
    std::vector<unsigned char> record(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(WCHAR));
    FILE_RENAME_INFO* rename = (FILE_RENAME_INFO*)record.data();
    rename->ReplaceIfExists = TRUE;
    rename->FileNameLength = (DWORD)(target.size() * sizeof(WCHAR));
    memcpy(rename->FileName, target.data(), rename->FileNameLength);
    DWORD error = SetFileInformationByHandle(renamed, FileRenameInfo, rename, (DWORD)record.size()) ? 0 : GetLastError();
    CloseHandle(renamed);
    CloseHandle(held);
    return error;
}

std::vector<unsigned char> SetupProgram() { return ReadBytes(FixturePath("payload\\setup.exe")); }

std::string AsText(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The module with /Q and an archive in quotes, extracted into folder\out
// with setup.exe as the command.
std::wstring ArchiveArguments(const std::wstring& archive, const std::wstring& folder) {
    return L"/Q /E:setup.exe /H /O " + Quoted(archive) + L" " + Quoted(folder + L"\\out");
}

struct Start {
    std::wstring program;
    std::wstring arguments;
    std::wstring leftover;  // a folder outside the test's own, removed afterwards
    HANDLE held = INVALID_HANDLE_VALUE;  // a file kept open during the run
};

// Prepares one run in folder (the sample setup program records its start
// beside it) and says how to start it.
typedef Start (*Prepare)(const std::wstring& folder);

// What folder\out holds afterwards. Untouched: nothing was extracted,
// neither there nor into the archive's own folder.
enum Output { Untouched, Sample, Anything };

struct QuietCase {
    const char* name;
    Prepare prepare;
    DWORD exitCode;
    bool commandRuns;  // the sample setup program ran
    Output output;
    const wchar_t* written = nullptr;  // a file that the command made in folder\out
};

void PrintTo(const QuietCase& row, std::ostream* out) { *out << row.name; }

Start Extracted(const std::wstring& folder) {
    WriteBytes(folder + L"\\package.exe", MakePackage({}));
    return {folder + L"\\package.exe", L"/Q"};
}

Start EmptyPackage(const std::wstring& folder) {
    WriteBytes(folder + L"\\bare.exe", ReadBytes(StubPath()));
    return {folder + L"\\bare.exe", L"/Q"};
}

Start CommandExits7(const std::wstring& folder) {
    PackageOptions options;
    options.command = L"setup.exe";
    WriteBytes(folder + L"\\package.exe", MakePackage(options));
    return {folder + L"\\package.exe", L"/q"};
}

Start CommandMissing(const std::wstring& folder) {
    PackageOptions options;
    options.command = L"missing.exe";
    WriteBytes(folder + L"\\package.exe", MakePackage(options));
    return {folder + L"\\package.exe", L"/Q"};
}

Start ArchiveMissing(const std::wstring& folder) {
    return {StubPath(), ArchiveArguments(folder + L"\\missing.cab", folder)};
}

// A line of 512 characters or more is refused whole, wherever its /Q is.
Start CommandLineTooLong(const std::wstring& folder) {
    std::wstring archive = folder + L"\\" + std::wstring(530 - folder.size() - 5, L'n') + L".cab";
    return {StubPath(), ArchiveArguments(archive, folder)};
}
Start QuietAfterA530CharacterPath(const std::wstring& folder) {
    return {StubPath(), Quoted(folder + L"\\" + std::wstring(530 - folder.size() - 5, L'n') + L".cab") + L" /Q"};
}

// The sample's cabinet beside the test, extracted with these switches.
Start SampleCabinet(const std::wstring& folder, const std::wstring& switches, const std::wstring& destination) {
    std::wstring archive = folder + L"\\sample.cab";
    WriteBytes(archive, CabinetOf(ReadBytes(FixturePath("sample.exe"))));
    return {StubPath(), L"/Q " + switches + L" /H /O " + Quoted(archive) + L" " + Quoted(destination)};
}
Start ArchivePathTooLong(const std::wstring& folder) {
    return {StubPath(), L"/Q " + Quoted(folder + L"\\" + std::wstring(270 - folder.size(), L'n') + L".cab")};
}
Start CommandTooLong(const std::wstring& folder) {
    return SampleCabinet(folder, L"/E:" + std::wstring(124, L'c') + L".exe", folder + L"\\out");
}
Start DestinationTooLong(const std::wstring& folder) {
    return SampleCabinet(folder, L"/E:setup.exe", folder + L"\\out\\" + std::wstring(270, L'd'));
}

Start ArchiveIsAFolder(const std::wstring& folder) {
    CreateDirectoryW((folder + L"\\folder.cab").c_str(), nullptr);
    return {StubPath(), ArchiveArguments(folder + L"\\folder.cab", folder)};
}

// The archive's folder, spelled with the \\?\ prefix, holds a '?': the
// destination loop falls back to that folder once and must then take it,
// not ask the (unshown) dialog again for ever. No command: exit code 0.
Start PrefixedArchivePath(const std::wstring& folder) {
    std::wstring archive = WithoutTrailingBackslash(folder) + L"\\sample.cab";
    WriteBytes(archive, CabinetOf(ReadBytes(FixturePath("sample.exe"))));
    return {StubPath(), L"/Q " + Quoted(L"\\\\?\\" + archive)};
}

Start NoCabinet(const std::wstring& folder) {
    WriteBytes(folder + L"\\plain.txt", std::string("no cabinet in here"));
    return {StubPath(), ArchiveArguments(folder + L"\\plain.txt", folder)};
}

Start ContinuationCabinet(const std::wstring& folder) {
    CabContents contents;
    contents.blockSize = 100;
    contents.nextCabinet = "next.cab";
    contents.splitLastBlock = true;
    contents.files = {{"setup.exe", AsText(SetupProgram())}, {"split.txt", std::string(300, 's')}};
    WriteBytes(folder + L"\\first.cab", BuildCabinet(contents));
    return {StubPath(), ArchiveArguments(folder + L"\\first.cab", folder)};
}

// One changed byte at the end of the cabinet, after the header's CRC.
Start CrcMismatch(const std::wstring& folder, const std::wstring& command) {
    PackageOptions options;
    options.command = command;
    options.crc = true;
    std::vector<unsigned char> package = MakePackage(options);
    package.back() ^= 0x5A;
    WriteBytes(folder + L"\\package.exe", package);
    return {folder + L"\\package.exe", L"/Q"};
}
Start CrcMismatchWithCommand(const std::wstring& folder) { return CrcMismatch(folder, L"setup.exe"); }
Start CrcMismatchWithoutCommand(const std::wstring& folder) { return CrcMismatch(folder, L""); }

// Wine's cabinet library faults on it: the run ends from the fault filter.
Start DamagedCabinet(const std::wstring& folder) {
    return {StubPath(),
            ArchiveArguments(Widen(VUV_SOURCE_DIR "/tests/harden/fixtures/mszip-damaged-data.cab"), folder)};
}

Start NamedPackage(const std::wstring& folder, const char* name) {
    WriteBytes(folder + L"\\package.exe", CommandPackage({{name, "data"}}, folder + L"\\out"));
    return {folder + L"\\package.exe", L"/Q"};
}
Start InvalidFileName(const std::wstring& folder) { return NamedPackage(folder, ". ."); }
Start SkippedName(const std::wstring& folder) { return NamedPackage(folder, "\\\\\\"); }
Start NameTooLong(const std::wstring& folder) { return NamedPackage(folder, std::string(300, 'c').c_str()); }
Start NameTooLongForDestination(const std::wstring& folder) {
    return NamedPackage(folder, std::string(240, 'c').c_str());
}


Start FullDisk(const std::wstring& folder) {
    std::wstring destination = Mounts() + L"small\\quiet" + std::to_wstring(GetCurrentProcessId());
    WriteBytes(folder + L"\\package.exe", CommandPackage({{"big.bin", PatternBytes(3000000, 3)}}, destination));
    return {folder + L"\\package.exe", L"/Q", destination + L"\\"};
}

Start UnwritableDestination(const std::wstring& folder) {
    WriteBytes(folder + L"\\package.exe", CommandPackage({{"first.txt", "first"}}, Mounts() + L"readonly\\missing"));
    return {folder + L"\\package.exe", L"/Q"};
}

Start ReadOnlyFolder(const std::wstring& folder) {
    WriteBytes(folder + L"\\package.exe", CommandPackage({{"first.txt", "first"}}, Mounts() + L"readonly\\existing"));
    return {folder + L"\\package.exe", L"/Q"};
}

// A package of the sample's files and extra files, with command.
Start PackageWith(const std::wstring& folder, std::vector<CabFile> extra, const wchar_t* command) {
    CabContents contents;
    contents.files = {{"setup.exe", AsText(SetupProgram())}, {"readme.txt", "read me"}};
    contents.files.insert(contents.files.end(), extra.begin(), extra.end());
    PackageOptions options;
    options.command = command;
    WriteBytes(folder + L"\\package.exe", MakePackage(options, BuildCabinet(contents)));
    return {folder + L"\\package.exe", L"/Q"};
}

Start ExeWithParameters(const std::wstring& folder) { return PackageWith(folder, {}, L"setup.exe /s"); }
Start ComProgram(const std::wstring& folder) {
    return PackageWith(folder, {{"setup.com", AsText(SetupProgram())}}, L"setup.com");
}

// Scripts: the first writes a file and ends the interpreter with exit 7;
// the second ends itself with exit /b 9; the third tells by its exit code
// whether it got its parameter.
const CabFile FailBat = {"fail.bat", "@echo off\r\necho ran> ran.txt\r\nexit 7\r\n"};
const CabFile FailCmd = {"fail.cmd", "@echo off\r\nexit /b 9\r\n"};
const std::string ParameterScript = "@echo off\r\nif \"%1\"==\"/quiet\" exit /b 5\r\nexit /b 6\r\n";
Start BatchFileExits7(const std::wstring& folder) { return PackageWith(folder, {FailBat}, L"fail.bat"); }
Start ScriptExitsWith9(const std::wstring& folder) { return PackageWith(folder, {FailCmd}, L"fail.cmd"); }
Start ScriptWithParameter(const std::wstring& folder) {
    return PackageWith(folder, {{"install.cmd", ParameterScript}}, L"install.cmd /quiet");
}
Start ScriptNameWithABlank(const std::wstring& folder) {
    return PackageWith(folder, {{"my setup.cmd", ParameterScript}}, L"my setup.cmd /quiet");
}

// Not an installer database: the system's installer refuses it with its
// own code (Wine's msiexec: 1627), which the run hands back.
const CabFile DamagedDatabase = {"setup.msi", "not an installer database"};
Start DamagedInstallerPackage(const std::wstring& folder) {
    return PackageWith(folder, {DamagedDatabase}, L"setup.msi");
}
Start InstallerPackageWithLog(const std::wstring& folder) {
    return PackageWith(folder, {DamagedDatabase}, L"setup.msi /l*v log.txt");
}

// Unattended, a document is not opened (Wine's shell would fail with 193
// for want of a viewer); a missing one is the command's failure.
Start Document(const std::wstring& folder) { return PackageWith(folder, {}, L"readme.txt"); }
Start MissingDocument(const std::wstring& folder) { return PackageWith(folder, {}, L"missing.txt"); }

// A file can't be written, for the reason the system gives, whether it is
// new or replaces one: a folder stands where it goes (access denied), the
// old file is held open without sharing, the mount is read-only, the disk
// is full.
Start FolderInTheWay(const std::wstring& folder) {
    CreateDirectoryW((folder + L"\\out").c_str(), nullptr);
    CreateDirectoryW((folder + L"\\out\\readme.txt").c_str(), nullptr);
    return PackageWith(folder, {}, L"setup.exe");
}
Start ReplacedFileHeldOpen(const std::wstring& folder) {
    CreateDirectoryW((folder + L"\\out").c_str(), nullptr);
    WriteBytes(folder + L"\\out\\readme.txt", std::string("old"));
    Start start = PackageWith(folder, {}, L"setup.exe");
    std::wstring old = folder + L"\\out\\readme.txt";
    start.held = CreateFileW(old.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, start.held);
    return start;
}
Start ReplacedFileOnReadOnlyMount(const std::wstring& folder) {
    WriteBytes(folder + L"\\package.exe", CommandPackage({{"old.txt", "new"}}, Mounts() + L"readonly\\kept"));
    return {folder + L"\\package.exe", L"/Q"};
}
Start ReplacedFileOnFullDisk(const std::wstring& folder) {
    std::wstring destination = Mounts() + L"small\\quiet" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(destination.c_str(), nullptr);
    WriteBytes(destination + L"\\big.bin", std::string("old"));
    WriteBytes(folder + L"\\package.exe", CommandPackage({{"big.bin", PatternBytes(3000000, 3)}}, destination));
    return {folder + L"\\package.exe", L"/Q", destination + L"\\"};
}

Start Win64Package(const std::wstring& folder) {
    PackageOptions options;
    options.command = L"setup.exe";
    options.variant = kVariantX64;
    WriteBytes(folder + L"\\package.exe", MakePackage(options));
    return {folder + L"\\package.exe", L"/Q"};
}

class QuietRun : public ::testing::TestWithParam<QuietCase> {};

TEST_P(QuietRun, EndsAloneWithoutAWindowAndWithItsExitCode) {
    QuietCase row = GetParam();
    // Only a system without WOW64 refuses a '6' package (the 32-bit prefix,
    // harden_quiet_runs_win32); elsewhere it is an ordinary one.
    WCHAR wow64Folder[MAX_PATH];
    if (row.prepare == Win64Package && GetSystemWow64DirectoryW(wow64Folder, MAX_PATH))
        row = {row.name, row.prepare, 7, true, Sample};
    ASSERT_TRUE(FolderExists(Mounts() + L"readonly\\existing") || row.prepare == Win64Package)
        << "the mounts are missing";
    TempFolder folder;
    std::wstring record = folder / L"setup-record.txt";
    PrepareSetup(record, L"");
    SetEnvironmentVariableW(L"VUV_SETUP_EXIT_CODE", L"7");
    Start start = row.prepare(folder.path());

    ModuleRun run;
    ASSERT_TRUE(run.StartWatched(start.program, start.arguments));
    DWORD exitCode = run.WaitForEnd(QuietRunMs);
    SetEnvironmentVariableW(L"VUV_SETUP_EXIT_CODE", nullptr);
    if (row.exitCode == ReadOnlyMountReport || row.exitCode == HeldFileReport) {
        row.exitCode = SystemReport(row.exitCode);
        EXPECT_NE(0u, row.exitCode) << "the system let it happen";
    }
    EXPECT_EQ(row.exitCode, exitCode);
    EXPECT_EQ(std::vector<std::wstring>{}, run.WatchedWindows());
    EXPECT_EQ(row.commandRuns, FileExists(record)) << "whether the command ran";
    if (row.commandRuns) EXPECT_TRUE(ReadSetupRecord(record).done) << "the command was not waited for";
    if (row.output == Untouched) {
        EXPECT_FALSE(FolderExists(folder / L"out"));
        EXPECT_FALSE(FileExists(folder / L"readme.txt"));
    }
    if (row.written) EXPECT_TRUE(FileExists(folder / L"out\\" + row.written)) << Narrow(row.written);
    if (row.output == Sample) EXPECT_EQ(SampleTree, ListTree(folder / L"out\\"));
    if (start.held != INVALID_HANDLE_VALUE) CloseHandle(start.held);
    if (!start.leftover.empty()) RemoveTree(start.leftover);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, QuietRun,
    ::testing::Values(QuietCase{"Extracted", Extracted, 0, false, Sample}, QuietCase{"EmptyPackage", EmptyPackage, 0, false, Untouched},
                      QuietCase{"CommandExits7", CommandExits7, 7, true, Sample},
                      QuietCase{"CommandMissing", CommandMissing, ERROR_FILE_NOT_FOUND, false, Sample},
                      QuietCase{"ArchiveMissing", ArchiveMissing, ERROR_FILE_NOT_FOUND, false, Untouched},
                      QuietCase{"CommandLineTooLong", CommandLineTooLong, ERROR_INVALID_COMMAND_LINE,
                                false, Untouched},
                      QuietCase{"QuietAfterA530CharacterPath", QuietAfterA530CharacterPath, ERROR_INVALID_COMMAND_LINE,
                                false, Untouched},
                      QuietCase{"ArchivePathTooLong", ArchivePathTooLong, ERROR_INVALID_COMMAND_LINE, false, Untouched},
                      QuietCase{"CommandTooLong", CommandTooLong, ERROR_INVALID_COMMAND_LINE, false, Untouched},
                      QuietCase{"DestinationTooLong", DestinationTooLong, ERROR_FILENAME_EXCED_RANGE, false, Untouched},
                      QuietCase{"ExeWithParameters", ExeWithParameters, 7, true, Anything},
                      QuietCase{"ComProgram", ComProgram, 7, true, Anything},
                      QuietCase{"BatchFileExits7", BatchFileExits7, 7, false, Anything, L"ran.txt"},
                      QuietCase{"ScriptExitsWith9", ScriptExitsWith9, 9, false, Anything},
                      QuietCase{"ScriptWithParameter", ScriptWithParameter, 5, false, Anything},
                      QuietCase{"ScriptNameWithABlank", ScriptNameWithABlank, 5, false, Anything},
                      QuietCase{"DamagedInstallerPackage", DamagedInstallerPackage, ERROR_INSTALL_FAILURE_WINE, false,
                                Anything},
                      QuietCase{"InstallerPackageWithLog", InstallerPackageWithLog, ERROR_INSTALL_FAILURE_WINE, false,
                                Anything, L"log.txt"},
                      QuietCase{"Document", Document, 0, false, Anything},
                      QuietCase{"MissingDocument", MissingDocument, ERROR_FILE_NOT_FOUND, false, Anything},
                      QuietCase{"ArchiveIsAFolder", ArchiveIsAFolder, ERROR_OPEN_FAILED, false, Untouched},
                      QuietCase{"PrefixedArchivePath", PrefixedArchivePath, 0, false, Anything},
                      QuietCase{"NoCabinet", NoCabinet, ERROR_INVALID_DATA, false, Untouched},
                      QuietCase{"ContinuationCabinet", ContinuationCabinet, ERROR_INVALID_DATA, false, Anything},
                      QuietCase{"CrcMismatchWithCommand", CrcMismatchWithCommand, ERROR_CRC, false, Untouched},
                      QuietCase{"CrcMismatchWithoutCommand", CrcMismatchWithoutCommand, ERROR_CRC, false, Untouched},
                      QuietCase{"DamagedCabinet", DamagedCabinet, ERROR_FILE_CORRUPT, false, Anything},
                      QuietCase{"InvalidFileName", InvalidFileName, ERROR_FILE_CORRUPT, false, Anything},
                      QuietCase{"SkippedName", SkippedName, ERROR_FILE_CORRUPT, false, Anything},
                      QuietCase{"NameTooLong", NameTooLong, ERROR_FILENAME_EXCED_RANGE, false, Anything},
                      QuietCase{"NameTooLongForDestination", NameTooLongForDestination, ERROR_FILENAME_EXCED_RANGE,
                                false, Anything},
                      QuietCase{"FolderInTheWay", FolderInTheWay, ERROR_ACCESS_DENIED, false, Anything},
                      QuietCase{"ReplacedFileHeldOpen", ReplacedFileHeldOpen, HeldFileReport, false, Anything},
                      QuietCase{"ReplacedFileOnReadOnlyMount", ReplacedFileOnReadOnlyMount, ReadOnlyMountReport, false,
                                Untouched},
                      QuietCase{"ReplacedFileOnFullDisk", ReplacedFileOnFullDisk, ERROR_DISK_FULL, false, Untouched},
                      QuietCase{"FullDisk", FullDisk, ERROR_DISK_FULL, false, Untouched},
                      QuietCase{"UnwritableDestination", UnwritableDestination, ERROR_DIRECTORY, false, Untouched},
                      QuietCase{"ReadOnlyFolder", ReadOnlyFolder, ReadOnlyMountReport, false, Untouched},
                      QuietCase{"Win64Package", Win64Package, ERROR_EXE_MACHINE_TYPE_MISMATCH, false, Untouched}),
    [](const ::testing::TestParamInfo<QuietCase>& info) { return info.param.name; });

// A script in a folder whose name the command interpreter would take for
// its own syntax, were the name on its line: variables defined and not, a
// lone '%', '!', '&', '^', parentheses, letters beyond ASCII. The package
// sits in that folder and extracts beside itself, or into that folder on a
// network share. The script tells by its exit code whether it got its
// parameter, and records its parameters where it starts: in its own
// folder (on the share the interpreter starts in the Windows folder, where
// it records nothing).
struct ScriptFolderCase {
    const char* name;
    const wchar_t* folder;
    bool network;
};

void PrintTo(const ScriptFolderCase& row, std::ostream* out) { *out << row.name; }

class ScriptFolder : public ::testing::TestWithParam<ScriptFolderCase> {};

TEST_P(ScriptFolder, ScriptRunsWithItsParametersAndHandsBackItsExitCode) {
    const ScriptFolderCase& row = GetParam();
    TempFolder base;
    NetworkShare share;
    std::wstring folder = (row.network ? share.path() : base.path()) + row.folder + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << Narrow(folder);
    const std::string records = "echo %*> ran.txt\r\n";
    CabContents contents;
    contents.files = {{"install.cmd", "@echo off\r\n" + (row.network ? "" : records) +
                                          "if \"%1\"==\"/quiet\" exit /b 5\r\nexit /b 6\r\n"}};
    PackageOptions options;
    options.command = L"install.cmd /quiet";
    options.destination = row.network ? folder : L"out";
    std::wstring package = (row.network ? base.path() : folder) + L"package.exe";
    WriteBytes(package, MakePackage(options, BuildCabinet(contents)));

    ModuleRun run;
    ASSERT_TRUE(run.StartWatched(package, L"/Q"));
    EXPECT_EQ(5u, run.WaitForEnd(QuietRunMs));
    EXPECT_EQ(std::vector<std::wstring>{}, run.WatchedWindows());
    if (!row.network) EXPECT_EQ("/quiet\r\n", AsText(ReadBytes(folder + L"out\\ran.txt")));
    EXPECT_TRUE(FileExists(folder + (row.network ? L"" : L"out\\") + L"install.cmd"));
}

INSTANTIATE_TEST_SUITE_P(
    Named, ScriptFolder,
    ::testing::Values(ScriptFolderCase{"DefinedVariable", L"pct%WINDIR%x", false},
                      ScriptFolderCase{"VariableNamingAnotherFolder", L"h%HOMEPATH%", false},
                      ScriptFolderCase{"UndefinedVariable", L"un%VUV_UNDEFINED%x", false},
                      ScriptFolderCase{"LonePercentAndUmlaut", L"Dst 100% Gr\u00F6\u00DFe", false},
                      ScriptFolderCase{"Exclamation", L"bang!x", false},
                      ScriptFolderCase{"Ampersand", L"a&b", false}, ScriptFolderCase{"Caret", L"a^b", false},
                      ScriptFolderCase{"Parentheses", L"(x) y", false},
                      ScriptFolderCase{"Japanese", L"\u65E5\u672C\u8A9E", false},
                      ScriptFolderCase{"NetworkShare", L"net a&b^(c)!", true}),
    [](const ::testing::TestParamInfo<ScriptFolderCase>& info) { return info.param.name; });

// A package that asks everything: the confirmation, the destination dialog
// ("out" beside it), the creation of that folder, and, in the second run,
// every existing file. Under /Q each takes the answer Enter would give.
class AskingPackage : public ::testing::Test {
protected:
    void SetUp() override {
        PackageHeader header = MakeHeader();
        SetHeaderText(header.destination, kDestinationChars, L"out");
        SetHeaderText(header.command, kCommandChars, L"setup.exe");
        SetHeaderText(header.confirmCaption, kCaptionChars, L"Quiet package");
        SetHeaderText(header.confirmPrompt, kPromptChars, L"Install the sample files?");
        header.OpenFolderWhenDone = 1;
        long offset = 0;
        WriteBytes(package_, BuildPackage(CabinetOf(ReadBytes(FixturePath("sample.exe"))), &offset, &header));
        PrepareSetup(record_, L"");
        SetEnvironmentVariableW(L"VUV_SETUP_EXIT_CODE", L"7");
    }
    void TearDown() override { SetEnvironmentVariableW(L"VUV_SETUP_EXIT_CODE", nullptr); }

    TempFolder folder_;
    std::wstring package_ = folder_ / L"asking.exe";
    std::wstring record_ = folder_ / L"setup-record.txt";
    std::wstring out_ = folder_ / L"out\\";
};

TEST_F(AskingPackage, QuietRunsTakeEveryDefaultAndReplaceOldFiles) {
    for (int pass = 0; pass < 2; pass++) {
        SCOPED_TRACE(pass == 0 ? "into a missing folder" : "over existing files");
        if (pass == 1) {
            WriteBytes(out_ + L"readme.txt", std::string("old"));
            DeleteFileW(record_.c_str());
        }
        ModuleRun run;
        ASSERT_TRUE(run.StartWatched(package_, L"/Q"));
        EXPECT_EQ(7u, run.WaitForEnd(QuietRunMs));
        EXPECT_EQ(std::vector<std::wstring>{}, run.WatchedWindows());
        EXPECT_EQ(SampleTree, ListTree(out_));
        EXPECT_TRUE(ReadBytes(out_ + L"readme.txt") == ReadBytes(FixturePath("payload\\readme.txt")));
        SetupRecord setup = ReadSetupRecord(record_);
        EXPECT_TRUE(setup.present && setup.done) << "the command did not run, or was not waited for";
        EXPECT_EQ(WithoutTrailingBackslash(out_), setup.folder);
    }
}

// The watcher's proof: the same package without /Q shows its windows, and
// the hook reports each of them.
TEST_F(AskingPackage, WithoutQTheWatcherSeesTheQuestionAndTheDialog) {
    ModuleRun run;
    ASSERT_TRUE(run.StartWatched(package_));
    EXPECT_EQ(L"Install the sample files?", run.Answer(L"Quiet package", IDYES));
    HWND dialog = run.WaitFor(English.destination);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
    // The dialog ends its loop after the click: until then it is still there.
    EXPECT_TRUE(WaitForWindowGone(dialog));
    EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());
    std::vector<std::wstring> seen = run.WatchedWindows();
    std::wstring all;
    for (const std::wstring& line : seen) all += line + L"\n";
    EXPECT_NE(std::wstring::npos, all.find(L"create #32770 \"Quiet package\"")) << Narrow(all);
    EXPECT_NE(std::wstring::npos, all.find(L"create #32770 \"" + English.destination + L"\"")) << Narrow(all);
    EXPECT_FALSE(FileExists(record_));
}

}  // namespace
