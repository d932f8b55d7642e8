// Runs from a folder that holds a planted "rundll32.exe" (a copy of the
// stand-in setup program), as a package downloaded beside one would.
#include <gtest/gtest.h>
#include <windows.h>

#include "launch/launcher.h"
#include "support/launch/launch_fixture.h"
#include "support/test_files.h"

TEST(PlantedRundll32, IsNotTheOneThatRuns) {
    WCHAR self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring planted = std::wstring(self).substr(0, std::wstring(self).find_last_of(L'\\') + 1) + L"rundll32.exe";
    ASSERT_TRUE(FileExists(planted));
    TempFolder temp;
    std::wstring record = temp / L"record.txt";
    SetEnvironmentVariableW(L"VUV_HELPER_RECORD", record.c_str());
    WriteInfScript(temp / L"setup.inf", "01,copied", "payload.txt");

    LaunchCommand(L"setup.inf", temp.path().c_str(), TRUE);

    HelperRecord started = ReadHelperRecord(record);
    if (started.present) WaitForProcessEnd(started.processId);
    EXPECT_FALSE(started.present) << Narrow(started.commandLine);
    EXPECT_TRUE(FileExists(temp / L"copied\\payload.txt"));
}
