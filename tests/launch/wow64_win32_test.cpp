// WOW64 query in a 32-bit Wine prefix (WINEARCH=win32): no WOW64 there.
#include <gtest/gtest.h>
#include <windows.h>

#include "launch/wow64.h"

TEST(Wow64Win32Prefix, ReportsNoWow64) {
    // Guards the fixture: the program really runs in the 32-bit prefix.
    wchar_t folder[MAX_PATH];
    ASSERT_EQ(0u, GetSystemWow64DirectoryW(folder, MAX_PATH));
    EXPECT_EQ(0, Wow64Control(-1));
}
