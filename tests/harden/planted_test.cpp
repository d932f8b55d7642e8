// A package downloaded into a folder that also holds libraries and a
// "rundll32.exe" someone planted there. Every planted file is a marker that
// records its loading, and Wine is told to prefer them (native first). A
// whole package runs (an .exe command, an .inf command) and no marker may
// record anything; the unsafe loader, under the same overrides, shows that
// every marker would have recorded a careless load.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/package_header.h"
#include "support/cab_writer.h"
#include "support/launch/launch_fixture.h"
#include "support/test_files.h"

namespace {

// Libraries the program, its dialogs, the shell, the setup library or the
// cabinet library may load by name at run time. Wine is told to prefer a
// copy of these outside the system folder (ctest sets WINEDLLOVERRIDES).
const wchar_t* const kLoadedByName[] = {
    L"mpr",     L"dwmapi",  L"cabinet", L"setupapi", L"cryptbase", L"oleaut32", L"comdlg32",
    L"userenv", L"propsys", L"profapi", L"winmm",    L"netapi32",  L"wintrust",
};
// The program's static imports and what Wine's own libraries import
// statically (its comctl32 and user32 import uxtheme, its shell32 imports
// shlwapi, its uxtheme imports msimg32). Wine's loader resolves those from
// the program's folder first when told to prefer native copies, before the
// program runs a line, so native-first overrides would test Wine's loader,
// not the program: they are planted under Wine's default order, and the
// import table check guards the program's own list.
const wchar_t* const kBoundAtStart[] = {L"comctl32", L"shell32", L"ole32",  L"imm32",
                                        L"version",  L"uxtheme", L"shlwapi", L"msimg32"};

std::vector<std::wstring> PlantedLibraries() {
    std::vector<std::wstring> names(std::begin(kLoadedByName), std::end(kLoadedByName));
    names.insert(names.end(), std::begin(kBoundAtStart), std::end(kBoundAtStart));
    return names;
}

class PlantedFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder = temp / L"Downloads\\";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        destination = temp / L"out\\";
        ASSERT_TRUE(CreateDirectoryW(destination.c_str(), nullptr));
        log = temp / L"markers.log";
        for (const std::wstring& name : PlantedLibraries())
            ASSERT_TRUE(CopyFileW(BuildPath("tests/harden/vuv_marker.dll").c_str(),
                                  (folder + name + L".dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(BuildPath("tests/harden/vuv_marker_program.exe").c_str(),
                              (folder + L"rundll32.exe").c_str(), FALSE));
        // Wine reads the overrides from the environment it was started
        // with, not from a Windows parent's block: ctest sets them.
        WCHAR overrides[1024] = L"";
        GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 1024);
        for (const wchar_t* name : kLoadedByName)
            ASSERT_TRUE(wcsstr(overrides, (std::wstring(name) + L",").c_str()) ||
                        wcsstr(overrides, (std::wstring(name) + L"=n,b").c_str()))
                << "WINEDLLOVERRIDES lacks " << Narrow(name);
        SetEnvironmentVariableW(L"VUV_MARKER_LOG", log.c_str());
    }

    // Every path the markers recorded.
    std::vector<std::wstring> Recorded() {
        std::vector<unsigned char> bytes = ReadBytes(log);
        std::wstring text = Widen(std::string(bytes.begin(), bytes.end()));
        std::vector<std::wstring> lines;
        for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    // Starts a program from the planted folder (its working folder too, as
    // when the user opens it there) and waits for it to end.
    DWORD RunFromFolder(const std::wstring& program, const std::wstring& arguments) {
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        EXPECT_TRUE(CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   folder.c_str(), &startup, &process));
        if (!process.hProcess) return (DWORD)-2;
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 60000));
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        return exitCode;
    }

    // A package in the planted folder that extracts the files to the
    // destination without asking and runs command.
    std::wstring WritePackage(const CabContents& contents, const std::wstring& command) {
        PackageHeader header = {};
        memcpy(header.magic, kHeaderMagic, 6);
        header.variant = kVariantPlain;
        header.magicLast = kHeaderMagic[7];
        lstrcpynW(header.destination, destination.c_str(), kDestinationChars);
        lstrcpynW(header.command, command.c_str(), kCommandChars);
        header.OverwriteAll = 1;
        header.SkipDestinationDialog = 1;
        long offset = 0;
        std::wstring package = folder + L"package.exe";
        WriteBytes(package, BuildPackage(BuildCabinet(contents), &offset, &header));
        return package;
    }

    TempFolder temp;
    std::wstring folder, destination, log;
};

std::string FileText(const std::wstring& path) {
    std::vector<unsigned char> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool WaitForFile(const std::wstring& path) {
    for (int i = 0; i < 300 && !FileExists(path); i++) Sleep(100);
    return FileExists(path);
}

TEST_F(PlantedFiles, PackageWithAProgramLoadsNoPlantedLibrary) {
    std::wstring record = temp / L"helper.txt";
    SetEnvironmentVariableW(L"VUV_HELPER_RECORD", record.c_str());
    CabContents contents;
    std::vector<unsigned char> helper = ReadBytes(HelperProgram());
    contents.files = {{"setup.exe", std::string(helper.begin(), helper.end())}, {"readme.txt", "read me"}};
    RunFromFolder(WritePackage(contents, L"setup.exe"), L"");

    ASSERT_TRUE(WaitForFile(record)) << "the package's command did not run";
    HelperRecord started = ReadHelperRecord(record);
    WaitForProcessEnd(started.processId);
    EXPECT_EQ(destination + L"setup.exe", ProgramOf(started.commandLine));
    EXPECT_EQ("read me", FileText(destination + L"readme.txt"));
    EXPECT_EQ(std::vector<std::wstring>{}, Recorded());
}

TEST_F(PlantedFiles, PackageWithAnInfScriptRunsTheSystemsRundll32Only) {
    TempFolder scratch;
    WriteInfScript(scratch / L"setup.inf", "01,copied", "payload.txt");
    CabContents contents;
    contents.files = {{"setup.inf", FileText(scratch / L"setup.inf")}, {"payload.txt", FileText(scratch / L"payload.txt")}};
    RunFromFolder(WritePackage(contents, L"setup.inf"), L"");

    EXPECT_TRUE(WaitForFile(destination + L"copied\\payload.txt")) << "the setup library did not install";
    EXPECT_EQ(std::vector<std::wstring>{}, Recorded());
}

// The control: the same folder and overrides, and a careless program. The
// libraries bound at start stay Wine's own under its default order.
TEST_F(PlantedFiles, UnsafeLoaderRecordsEveryMarker) {
    std::wstring loader = folder + L"loader.exe";
    ASSERT_TRUE(CopyFileW(BuildPath("tests/harden/unsafe_loader.exe").c_str(), loader.c_str(), FALSE));
    std::wstring arguments;
    for (const std::wstring& name : PlantedLibraries()) arguments += name + L".dll ";
    RunFromFolder(loader, arguments);

    std::vector<std::wstring> recorded = Recorded();
    std::vector<std::wstring> expected;
    for (const wchar_t* name : kLoadedByName) expected.push_back(folder + name + L".dll");
    expected.push_back(folder + L"rundll32.exe");
    for (std::wstring& path : recorded) CharLowerW(&path[0]);
    for (std::wstring& path : expected) CharLowerW(&path[0]);
    std::sort(recorded.begin(), recorded.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, recorded);
}

}  // namespace
