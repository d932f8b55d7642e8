// The private folder in the temporary folder, made afresh for each run: its
// first name is fixed, so anyone could have made that folder first.
#pragma once

#include <windows.h>

// The folder's access list as a self-relative security descriptor:
// protected (nothing inherited from the temporary folder, which lets every
// user add files), full access for the folder's owner (its creator),
// SYSTEM and Administrators, inherited by everything inside.
extern const BYTE kPrivateFolderSecurity[92];

// folder: the private folder's path with its trailing backslash, in a
// buffer of kDestinationChars. Creates it with that access list; when the
// name exists (whoever made it), folder "." and 16 hex digits from the
// system's random source instead, at most 16 such names, never a folder it
// did not create. folder then names the folder created. FALSE (folder as
// it was) when none could be created, or the random source failed.
BOOL CreatePrivateFolder(WCHAR* folder);
