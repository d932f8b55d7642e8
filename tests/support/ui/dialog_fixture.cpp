#include "support/ui/dialog_fixture.h"

#include "support/gui_driver.h"
#include "ui/destination_dialog.h"

DialogRun::~DialogRun() {
    // A failed test may leave the dialog up, with or without a popup.
    for (int i = 0; i < 4 && dialog_ && !ended_; i++) {
        PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
        WaitUntil([&] { return ended_.load(); }, 2000);
    }
    if (thread_.joinable()) {
        if (ended_)
            thread_.join();
        else
            thread_.detach();
    }
}

void DialogRun::Open(const std::wstring& destination, const std::wstring& baseName) {
    lstrcpynW(G.RunSettings.destination, destination.c_str(), MAX_PATH);
    baseName_ = baseName;
    // Away from where popups open, so no mouse move selects an entry.
    SetCursorPos(1, 1);
    thread_ = std::thread([this] {
        result_ = ShowDestinationDialog(baseName_.c_str());
        oleAtEnd_ = G.oleInitialized;
        UninitializeFolderBrowser();
        ended_ = true;
    });
    WindowQuery query;
    query.className = L"#32770";
    query.processId = GetCurrentProcessId();
    dialog_ = WaitForWindow(query);
    edit_ = dialog_ ? GetDlgItem(dialog_, 1001) : nullptr;
    if (dialog_) BringToFront(dialog_);
}

int DialogRun::Result() {
    if (!WaitUntil([&] { return ended_.load(); })) return 0;
    thread_.join();
    return result_;
}

bool DialogRun::Press(WORD key, bool shift) {
    if (shift) return SendKeyChord(dialog_, {VK_SHIFT, key});
    return SendKeyChord(dialog_, {key});
}

bool DialogRun::Type(const std::wstring& text) {
    for (WCHAR c : text) {
        SHORT key = VkKeyScanW(c);
        if (key == -1 || !Press(LOBYTE(key), (key >> 8) & 1)) return false;
    }
    return true;
}

bool DialogRun::SelectAll() { return SendKeyChord(dialog_, {VK_HOME}) && SendKeyChord(dialog_, {VK_SHIFT, VK_END}); }

bool DialogRun::SelectAllAndDelete() { return SelectAll() && SendKeyChord(dialog_, {VK_DELETE}); }

std::wstring DialogRun::EditText() const { return WindowText(edit_); }

DWORD DialogRun::CaretEnd() const {
    DWORD start = 0, end = 0;
    SendMessageW(edit_, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    return end;
}

HWND Popup() { return G.CompletionPopup; }

std::wstring PopupItem(int index) {
    HWND popup = Popup();
    int length = (int)SendMessageW(popup, LB_GETTEXTLEN, index, 0);
    if (length < 0) return std::wstring();
    std::wstring text(length + 1, L'\0');
    SendMessageW(popup, LB_GETTEXT, index, (LPARAM)&text[0]);
    text.resize(length);
    return text;
}

std::vector<std::wstring> PopupItems() {
    std::vector<std::wstring> items;
    int count = Popup() ? (int)SendMessageW(Popup(), LB_GETCOUNT, 0, 0) : 0;
    for (int i = 0; i < count; i++) items.push_back(PopupItem(i));
    return items;
}

int PopupSelection() { return Popup() ? (int)SendMessageW(Popup(), LB_GETCURSEL, 0, 0) : -2; }

bool ClickPopupItem(int index) {
    RECT item;
    if (SendMessageW(Popup(), LB_GETITEMRECT, index, (LPARAM)&item) == LB_ERR) return false;
    POINT point = {item.left + 4, (item.top + item.bottom) / 2};
    if (!ClientToScreen(Popup(), &point) || !SetCursorPos(point.x, point.y)) return false;
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, inputs, sizeof(INPUT)) == 2;
}
