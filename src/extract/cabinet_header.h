// A look at the cabinet's fixed header before the cabinet library gets it.
#pragma once

#include <windows.h>

// FALSE for a header the library is known to mishandle: files announced
// without any folder to hold them (the library reads outside its folder
// table and faults). Anything it cannot read is left to the library, which
// reports it.
BOOL CabinetHeaderUsable(const WCHAR* archivePath, LONG cabinetOffset);
