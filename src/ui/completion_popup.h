// The folder-name completion popup of the destination dialog: a list box
// floating under the folder edit, owned by the dialog, walked
// with keys through a thread keyboard hook while the focus stays in the
// edit. GUI thread only; the state is CompletionPopup, CompletionEdit,
// listBoxProc, keyboardHook, SuppressNextChange, PathList and ServerList.
#pragma once

#include "base/state.h"

enum {
    kPopupRows = 16,  // rows shown before the list scrolls
    kRowHeight = 16,  // pixels reckoned per row
};

// For every change of the folder edit that leaves a non-empty text and is
// not suppressed: finds the candidates for text and opens, refreshes or
// closes the popup under edit.
void UpdateCompletion(HWND edit, const WCHAR* text);

// TRUE when a popup existed and has been destroyed. Empties PathList.
BOOL CloseCompletionPopup(void);

// Fills PathList with the folders (or network servers or shares) that text
// may be completed to and returns their number, 0 for none. Hidden and
// system folders are never offered. A text of MAX_PATH characters or more
// offers nothing. Candidates can be longer than MAX_PATH - 1 characters.
int CollectFolderCandidates(const WCHAR* text);

// Creates the popup, hidden, at rectangle (screen coordinates) unless one
// exists, installs the keyboard hook and unchecks box 1012 of the edit's
// dialog. UpdateCompletion shows it once it is filled.
void OpenCompletionPopup(const RECT* rectangle, HFONT font);

// Refills the popup from PathList and sizes it to the rectangle (at least
// 100 x 48 pixels), with a horizontal scroll range for wider entries.
void FillCompletionPopup(const RECT* rectangle);

LRESULT CALLBACK CompletionPopupProc(HWND popup, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK CompletionKeyboardHook(int code, WPARAM virtualKey, LPARAM keyFlags);
