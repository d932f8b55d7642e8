// A look at the cabinet's fixed header before the cabinet library gets it.
#pragma once

#include <windows.h>

// FALSE for a header the library is known to mishandle: files announced
// without any folder to hold them (the library reads outside its folder
// table and faults), and a cabinet that claims more than 2,147,483,647
// bytes, beyond the library's signed 32-bit offsets. Anything it cannot
// read is left to the library, which reports it.
BOOL CabinetHeaderUsable(const WCHAR* archivePath, LONG cabinetOffset);
