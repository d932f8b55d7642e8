// The destination dialog (template 202) and its folder browser. GUI thread.
#pragma once

#include <windows.h>

// Edits G.RunSettings.destination, which is both input and output.
// archiveBaseName must live until the dialog ends. Returns 1 for OK, 2 for
// Cancel, -1 when the dialog could not be created.
int ShowDestinationDialog(const WCHAR* archiveBaseName);

// Nonzero when the user chose a folder with a file-system path, which then
// stands in pathBuffer (MAX_PATH); 0 on cancel or a choice without a path,
// when pathBuffer is left as it was. initialPath (may be pathBuffer itself,
// or null) names the folder the browser starts at. Initialises OLE on the
// calling thread the first time.
BOOL BrowseForFolder(HWND owner, WCHAR* pathBuffer, const WCHAR* initialPath);

// Ends the OLE initialisation of BrowseForFolder, if there was one; the run
// driver calls it once at the end of the run.
void UninitializeFolderBrowser(void);

INT_PTR CALLBACK DestinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
