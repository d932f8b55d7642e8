// Shows the destination dialog on a second thread of the test program and
// drives it from the test's own thread with real input.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/state.h"

class DialogRun {
public:
    ~DialogRun();
    // Sets the destination and shows the dialog; returns once it is up
    // (dialog() is null when it did not come).
    void Open(const std::wstring& destination, const std::wstring& baseName = L"Pkg");
    // Waits for the dialog's end and returns its result (0 on time-out).
    int Result();
    bool Ended() const { return ended_; }
    bool OleInitializedAtEnd() const { return oleAtEnd_; }

    HWND dialog() const { return dialog_; }
    HWND edit() const { return edit_; }

    // Real key presses to the dialog (SendInput): the keyboard hook only
    // sees real input.
    bool Press(WORD key, bool shift = false);
    bool Type(const std::wstring& text);
    // Selects the whole text, so that typing replaces it.
    bool SelectAll();
    // Empties the edit with the keys a user would press.
    bool SelectAllAndDelete();

    std::wstring EditText() const;
    DWORD CaretEnd() const;  // end of the edit's selection

private:
    std::wstring baseName_;
    std::thread thread_;
    std::atomic<bool> ended_{false};
    std::atomic<int> result_{0};
    bool oleAtEnd_ = false;
    HWND dialog_ = nullptr;
    HWND edit_ = nullptr;
};

// Popup state as the test thread sees it.
HWND Popup();
std::vector<std::wstring> PopupItems();
int PopupSelection();
std::wstring PopupItem(int index);
// A real click on a row of the popup. The driver's clicks bring the
// clicked window's root forward first, which a child of the desktop can't be.
bool ClickPopupItem(int index);
