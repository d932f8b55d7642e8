// Whether the 32-bit process runs under WOW64, and WOW64 file-system
// redirection for the calling thread.
#pragma once

// Nonzero on 64-bit Windows: always in the 64-bit module, under WOW64 in
// the 32-bit one.
int RunsOn64BitWindows();

// mode -1: nonzero only under WOW64 (0 also when the functions are missing).
// mode 0 / 1: turns redirection off / on for the calling thread; nonzero on
// success, 0 without a call when the system lacks the function.
int Wow64Control(int mode);
