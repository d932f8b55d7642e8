// Whether the 32-bit process runs under WOW64, and WOW64 file-system
// redirection for the calling thread.
#pragma once

#include <windows.h>

// Nonzero on 64-bit Windows: always in the 64-bit module, under WOW64 in
// the 32-bit one.
int RunsOn64BitWindows();

// mode -1: nonzero only under WOW64 (0 also when the functions are missing).
// mode 0 / 1: turns redirection off / on for the calling thread; nonzero on
// success, 0 without a call when the system lacks the function.
int Wow64Control(int mode);

// The 64-bit module runs a package not marked for 64-bit Windows as the
// 32-bit module runs it under WOW64: WOW64's rundll32, and folder keywords
// that name where that module's files land (SysWOW64, Program Files (x86)).
// Nonzero for such a package where WOW64 has its rundll32.exe (Server Core
// may lack WOW64 while the folder call still answers); always 0 in the
// 32-bit module, which gets its folders from the system as they are.
#ifdef _WIN64
int RunsAsUnderWow64();
#else
static inline int RunsAsUnderWow64() { return 0; }
#endif

// "\Sysnative\": under WOW64 the native system folder, below the Windows
// folder, while redirection is on; with it off no such folder exists.
extern const WCHAR kNativeAlias[];
enum { kNativeAliasChars = 11 };
