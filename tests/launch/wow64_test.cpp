// WOW64 query and redirection control in Wine's default 64-bit prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "launch/wow64.h"
#include "support/import_patch.h"
#include "support/launch/launch_fixture.h"

TEST(Wow64, ReportsWow64InThe64BitPrefix) {
    EXPECT_NE(0, Wow64Control(-1));
    EXPECT_NE(0, Wow64Control(-1));  // the kept lookups serve a second query
}

TEST(Wow64, RedirectionGoesOffAndOnForTheCallingThreadOnly) {
    ASSERT_EQ(IMAGE_FILE_MACHINE_I386, SystemKernelMachine());

    ASSERT_NE(0, Wow64Control(0));
    EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, SystemKernelMachine());
    WORD otherThread = 0;
    std::thread([&] { otherThread = SystemKernelMachine(); }).join();
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, otherThread);

    ASSERT_NE(0, Wow64Control(1));
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, SystemKernelMachine());
}

static FARPROC(WINAPI* realGetProcAddress)(HMODULE, LPCSTR);
static HMODULE(WINAPI* realGetModuleHandleW)(LPCWSTR);
static int kernelLookups, enableLookups, isWow64Lookups;

static FARPROC WINAPI CountingGetProcAddress(HMODULE module, LPCSTR name) {
    if (HIWORD(name)) {
        if (!lstrcmpA(name, "Wow64EnableWow64FsRedirection")) enableLookups++;
        if (!lstrcmpA(name, "IsWow64Process")) isWow64Lookups++;
    }
    return realGetProcAddress(module, name);
}

static HMODULE WINAPI CountingGetModuleHandleW(LPCWSTR name) {
    if (name && !lstrcmpiW(name, L"kernel32")) kernelLookups++;
    return realGetModuleHandleW(name);
}

TEST(Wow64, LooksUpKernelAndRedirectionOnceAndIsWow64ProcessPerQuery) {
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    realGetProcAddress = (FARPROC(WINAPI*)(HMODULE, LPCSTR))(void*)GetProcAddress(kernel, "GetProcAddress");
    realGetModuleHandleW = (HMODULE(WINAPI*)(LPCWSTR))(void*)GetProcAddress(kernel, "GetModuleHandleW");
    ASSERT_GT(PatchImports((void*)realGetProcAddress, (void*)CountingGetProcAddress), 0);
    ASSERT_GT(PatchImports((void*)realGetModuleHandleW, (void*)CountingGetModuleHandleW), 0);

    for (int query = 0; query < 3; query++) EXPECT_NE(0, Wow64Control(-1));
    EXPECT_NE(0, Wow64Control(0));
    EXPECT_NE(0, Wow64Control(1));

    EXPECT_EQ(1, kernelLookups);
    EXPECT_EQ(1, enableLookups);
    EXPECT_EQ(3, isWow64Lookups);
}
