// The package header behind the image, and the cabinet inside the archive.
#pragma once

#include <windows.h>

#include "base/package_header.h"

enum HeaderOutcome { EmptyPackage, NoHeader, ValidHeader };

DWORD FindImageEnd(HANDLE file);
HeaderOutcome ReadPackageHeader(HANDLE file, PackageHeader* headerCopy);
BOOL ApplyPackageHeader(const PackageHeader* headerCopy, const WCHAR* archivePath);
BOOL ExpandDestination(WCHAR* destinationOut, const PackageHeader* header, const WCHAR* archivePath);

// Sets G.CabinetOffset (-1 = none) and returns the file size (low 32 bits),
// or -1 when the file can't be opened. Always closes file (may be
// INVALID_HANDLE_VALUE: the path is opened here).
LONG LocateCabinet(const WCHAR* archivePath, HANDLE file);
