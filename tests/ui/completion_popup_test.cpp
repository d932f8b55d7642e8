// The completion popup driven through its own procedures, under an edit of
// a plain window (the destination dialog itself is tested elsewhere).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/string_list.h"
#include "support/test_files.h"
#include "support/ui/fake_network.h"
#include "ui/completion_popup.h"

namespace {

const int kEditWidth = 400;

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(length + 1, L'\0');
    GetWindowTextW(window, &text[0], length + 1);
    text.resize(length);
    return text;
}

std::wstring ItemText(HWND list, int index) {
    int length = (int)SendMessageW(list, LB_GETTEXTLEN, index, 0);
    std::wstring text(length + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, index, (LPARAM)&text[0]);
    text.resize(length);
    return text;
}

std::vector<std::wstring> Items(HWND list) {
    std::vector<std::wstring> items;
    int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) items.push_back(ItemText(list, i));
    return items;
}

std::vector<std::wstring> PathListEntries() {
    std::vector<std::wstring> out;
    for (const WCHAR* entry = StringListFirst(&G.PathList); entry; entry = StringListNext(&G.PathList))
        out.push_back(entry);
    return out;
}

LPARAM ItemCentre(HWND list, int index) {
    RECT item;
    SendMessageW(list, LB_GETITEMRECT, index, (LPARAM)&item);
    return MAKELPARAM(item.left + 4, (item.top + item.bottom) / 2);
}

// Folders named prefix01, prefix02, ... in the fixture folder.
void MakeFolders(const TempFolder& dir, const std::wstring& prefix, int count) {
    for (int i = 1; i <= count; i++) {
        WCHAR name[64];
        wsprintfW(name, L"%s%02d", prefix.c_str(), i);
        ASSERT_TRUE(CreateDirectoryW((dir / name).c_str(), nullptr));
    }
}

class CompletionPopup : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VuvPopupHost";
        RegisterClassW(&windowClass);
        host = CreateWindowExW(0, L"VuvPopupHost", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 500, 200,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, host);
        edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 20, 20,
                               kEditWidth, 24, host, (HMENU)1001, GetModuleHandleW(nullptr), nullptr);
        box = CreateWindowExW(0, L"BUTTON", L"box", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 20, 60, 200, 20, host,
                              (HMENU)1012, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(edit && box);
        SendMessageW(edit, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
        Pump();
    }
    void TearDown() override {
        CloseCompletionPopup();
        DestroyWindow(host);
        Pump();
        G.SuppressNextChange = 0;
    }

    // What the dialog does for a typed text.
    void Type(const std::wstring& text) {
        SetWindowTextW(edit, text.c_str());
        UpdateCompletion(edit, text.c_str());
    }
    // Folders prefix01... and the text dir\prefix typed: the popup.
    HWND OpenWith(const std::wstring& prefix, int count) {
        MakeFolders(dir, prefix, count);
        Type(dir / prefix);
        EXPECT_NE(nullptr, G.CompletionPopup);
        return G.CompletionPopup;
    }
    // The hook as the system calls it for a key press or release.
    void Key(WPARAM key, bool down = true) {
        CompletionKeyboardHook(HC_ACTION, key, down ? 1 : (LPARAM)0xC0000001);
        Pump();
    }
    int Selected() { return (int)SendMessageW(G.CompletionPopup, LB_GETCURSEL, 0, 0); }
    DWORD CaretEnd() {
        DWORD start = 0, end = 0;
        SendMessageW(edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
        EXPECT_EQ(start, end);
        return end;
    }

    TempFolder dir;
    HWND host = nullptr;
    HWND edit = nullptr;
    HWND box = nullptr;
};

TEST_F(CompletionPopup, OpensUnderTheEditAsAListBoxOwnedByTheDialogAndClearsTheBox) {
    MakeFolders(dir, L"a", 3);
    CheckDlgButton(host, 1012, BST_CHECKED);
    Type(dir / L"a");

    HWND popup = G.CompletionPopup;
    ASSERT_NE(nullptr, popup);
    EXPECT_TRUE(IsWindowVisible(popup));
    EXPECT_EQ(GetDesktopWindow(), GetAncestor(popup, GA_PARENT));
    EXPECT_EQ(host, GetWindow(popup, GW_OWNER));
    WCHAR className[32];
    GetClassNameW(popup, className, 32);
    EXPECT_EQ(0, lstrcmpiW(L"ListBox", className));
    LONG style = GetWindowLongW(popup, GWL_STYLE);
    LONG wanted = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_THICKFRAME |
                  LBS_WANTKEYBOARDINPUT | LBS_HASSTRINGS;
    EXPECT_EQ(wanted, style & wanted);
    EXPECT_EQ(0, style & (LBS_SORT | LBS_NOTIFY));
    LONG extended = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    EXPECT_EQ(extended, GetWindowLongW(popup, GWL_EXSTYLE) & extended);
    // It did not take the activation from the dialog.
    EXPECT_EQ(host, GetActiveWindow());
    EXPECT_EQ(SendMessageW(edit, WM_GETFONT, 0, 0), SendMessageW(popup, WM_GETFONT, 0, 0));

    RECT editRect, popupRect;
    GetWindowRect(edit, &editRect);
    GetWindowRect(popup, &popupRect);
    EXPECT_EQ(editRect.left, popupRect.left);
    EXPECT_EQ(editRect.bottom, popupRect.top);
    EXPECT_EQ(kEditWidth - 20, popupRect.right - popupRect.left);

    EXPECT_EQ(PathListEntries(), Items(popup));
    EXPECT_EQ(3u, Items(popup).size());
    EXPECT_EQ(edit, G.CompletionEdit);
    EXPECT_NE(nullptr, G.keyboardHook);
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(host, 1012));
    EXPECT_EQ(dir / L"a", WindowText(edit));
    EXPECT_EQ(-1, Selected());
}

TEST_F(CompletionPopup, EachChangeRefillsAndResizesTheSamePopupUntilNothingMatches) {
    MakeFolders(dir, L"r", 20);
    MakeFolders(dir, L"s", 16);
    MakeFolders(dir, L"t", 5);
    MakeFolders(dir, L"u", 2);
    MakeFolders(dir, L"v", 1);
    Type(dir / L"r");
    HWND popup = G.CompletionPopup;
    ASSERT_NE(nullptr, popup);
    RECT first;
    GetWindowRect(popup, &first);

    // 16 pixels a row for at most 16 rows, and at least 48 pixels; the list
    // box then shrinks itself to whole rows of its font.
    int rowHeight = (int)SendMessageW(popup, LB_GETITEMHEIGHT, 0, 0);
    ASSERT_GT(rowHeight, 0);
    struct Case {
        const wchar_t* text;
        int count;
        int height;
    } cases[] = {{L"r", 20, 256}, {L"s", 16, 256}, {L"t", 5, 80}, {L"u", 2, 48}, {L"v", 1, 48}, {L"r1", 10, 160}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        Type(dir / c.text);
        ASSERT_EQ(popup, G.CompletionPopup);
        EXPECT_EQ(c.count, (int)SendMessageW(popup, LB_GETCOUNT, 0, 0));
        EXPECT_EQ(PathListEntries(), Items(popup));
        RECT now;
        GetWindowRect(popup, &now);
        EXPECT_LE(now.bottom - now.top, c.height);
        EXPECT_GT(now.bottom - now.top, c.height - rowHeight);
        EXPECT_EQ(first.left, now.left);
        EXPECT_EQ(first.top, now.top);
    }
    // More rows than fit: the list scrolls.
    Type(dir / L"r");
    SendMessageW(popup, LB_SETCURSEL, 19, 0);
    EXPECT_GT(SendMessageW(popup, LB_GETTOPINDEX, 0, 0), 0);

    Type(dir / L"zz");
    EXPECT_EQ(nullptr, G.CompletionPopup);
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_EQ(nullptr, G.keyboardHook);
    EXPECT_EQ(0, StringListCount(&G.PathList));
}

TEST_F(CompletionPopup, ANarrowEditStillGetsAPopupOfAHundredPixels) {
    SetWindowPos(edit, nullptr, 0, 0, 60, 24, SWP_NOMOVE | SWP_NOZORDER);
    MakeFolders(dir, L"a", 1);
    Type(dir / L"a");
    ASSERT_NE(nullptr, G.CompletionPopup);
    RECT popupRect;
    GetWindowRect(G.CompletionPopup, &popupRect);
    EXPECT_EQ(100, popupRect.right - popupRect.left);
}

TEST_F(CompletionPopup, WiderEntriesGetAHorizontalScrollRange) {
    MakeFolders(dir, L"a", 2);
    Type(dir / L"a");
    ASSERT_NE(nullptr, G.CompletionPopup);
    EXPECT_EQ(0, SendMessageW(G.CompletionPopup, LB_GETHORIZONTALEXTENT, 0, 0));

    SetWindowPos(edit, nullptr, 0, 0, 120, 24, SWP_NOMOVE | SWP_NOZORDER);
    CloseCompletionPopup();
    Type(dir / L"a");
    ASSERT_NE(nullptr, G.CompletionPopup);
    // The whole path is wider than the 100 pixels of the popup.
    EXPECT_GT(SendMessageW(G.CompletionPopup, LB_GETHORIZONTALEXTENT, 0, 0), 100);
}

TEST_F(CompletionPopup, KeysWalkAndWrapWithoutShrinkingTheList) {
    HWND popup = OpenWith(L"a", 3);
    ASSERT_NE(nullptr, popup);
    std::vector<std::wstring> items = Items(popup);

    BYTE keys[256];
    GetKeyboardState(keys);
    struct Step {
        WPARAM key;
        bool shift;
        int selected;
    } steps[] = {
        {VK_DOWN, false, 0},  {VK_DOWN, false, 1}, {VK_DOWN, false, 2}, {VK_DOWN, false, 0},
        {VK_UP, false, 2},    {VK_UP, false, 1},   {VK_PRIOR, false, 0}, {VK_NEXT, false, 2},
        {VK_TAB, false, 0},   {VK_TAB, true, 2},   {VK_TAB, true, 1},   {VK_TAB, false, 2},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "key " << step.key << (step.shift ? " with shift" : ""));
        keys[VK_SHIFT] = step.shift ? 0x80 : 0;
        SetKeyboardState(keys);
        G.SuppressNextChange = 0;
        Key(step.key);
        EXPECT_EQ(step.selected, Selected());
        EXPECT_EQ(items[step.selected], WindowText(edit));
        EXPECT_EQ(1, G.SuppressNextChange);  // the dialog will not recompute
        EXPECT_EQ(items[step.selected].size(), CaretEnd());
        EXPECT_EQ(items, Items(popup));
    }
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);

    // Releases, other keys and other hook codes change nothing.
    Key(VK_DOWN, false);
    Key(VK_LEFT);
    CompletionKeyboardHook(HC_NOREMOVE, VK_DOWN, 1);
    EXPECT_EQ(2, Selected());
    EXPECT_EQ(items[2], WindowText(edit));
}

TEST_F(CompletionPopup, UpWithNothingSelectedTakesTheLastAndDownTheFirst) {
    MakeFolders(dir, L"a", 4);
    Type(dir / L"a");
    ASSERT_NE(nullptr, G.CompletionPopup);
    Key(VK_UP);
    EXPECT_EQ(3, Selected());
    SendMessageW(G.CompletionPopup, LB_SETCURSEL, (WPARAM)-1, 0);
    Key(VK_DOWN);
    EXPECT_EQ(0, Selected());
}

TEST_F(CompletionPopup, EnterWritesTheSelectedEntryWhole) {
    HWND popup = OpenWith(L"a", 3);
    ASSERT_NE(nullptr, popup);

    // Nothing selected: the text stays as typed.
    Key(VK_RETURN);
    EXPECT_EQ(dir / L"a", WindowText(edit));

    SendMessageW(popup, LB_SETCURSEL, 1, 0);
    G.SuppressNextChange = 0;
    Key(VK_RETURN);
    EXPECT_EQ(ItemText(popup, 1), WindowText(edit));
    EXPECT_EQ(0, G.SuppressNextChange);  // the dialog refreshes for the pick
    EXPECT_EQ(ItemText(popup, 1).size(), CaretEnd());
}

TEST_F(CompletionPopup, TheSelectionFollowsTheMouseAndAClickPicks) {
    HWND popup = OpenWith(L"a", 3);
    ASSERT_NE(nullptr, popup);
    std::vector<std::wstring> items = Items(popup);

    SendMessageW(popup, WM_MOUSEMOVE, 0, ItemCentre(popup, 1));
    EXPECT_EQ(1, Selected());
    SendMessageW(popup, WM_MOUSEMOVE, 0, ItemCentre(popup, 0));
    EXPECT_EQ(0, Selected());

    SendMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, ItemCentre(popup, 2));
    EXPECT_EQ(items[2], WindowText(edit));
    EXPECT_EQ(items[2].size(), CaretEnd());
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_EQ(nullptr, G.CompletionPopup);
    EXPECT_EQ(nullptr, G.keyboardHook);
    EXPECT_FALSE(CloseCompletionPopup());
}

TEST_F(CompletionPopup, CloseReportsWhetherAPopupWasOpen) {
    MakeFolders(dir, L"a", 2);
    EXPECT_FALSE(CloseCompletionPopup());
    Type(dir / L"a");
    HWND popup = G.CompletionPopup;
    ASSERT_NE(nullptr, popup);
    EXPECT_TRUE(CloseCompletionPopup());
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_EQ(nullptr, G.keyboardHook);
    EXPECT_EQ(0, StringListCount(&G.PathList));
    EXPECT_FALSE(CloseCompletionPopup());

    // Keys do nothing without a popup.
    SetWindowTextW(edit, L"typed");
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ(L"typed", WindowText(edit));
}

TEST_F(CompletionPopup, EveryNewPopupClearsTheBoxAgain) {
    MakeFolders(dir, L"a", 2);
    Type(dir / L"a");
    ASSERT_NE(nullptr, G.CompletionPopup);
    // Checked while the popup is up: a refresh keeps the box.
    CheckDlgButton(host, 1012, BST_CHECKED);
    Type(dir / L"a0");
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(host, 1012));
    CloseCompletionPopup();
    Type(dir / L"a");
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(host, 1012));
}

// Against the fake provider: servers and shares in the popup; a server
// with no shares, or a text with no server, opens none.
TEST_F(CompletionPopup, NetworkTextsOfferServersAndShares) {
    UseFakeNetwork();
    const struct {
        const wchar_t* text;
        std::vector<std::wstring> items;
    } rows[] = {
        {L"\\", {L"\\\\ALPHA", L"\\\\BRAVO"}},
        {L"\\\\a", {L"\\\\ALPHA"}},
        {L"\\\\A\\", {L"\\\\ALPHA\\docs", L"\\\\ALPHA\\tools"}},
        {L"\\\\Z\\", {}},
        {L"\\\\CHARLIE\\", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.text));
        CloseCompletionPopup();
        Type(row.text);
        if (row.items.empty()) {
            EXPECT_EQ(nullptr, G.CompletionPopup);
            EXPECT_EQ(nullptr, G.keyboardHook);
            continue;
        }
        ASSERT_NE(nullptr, G.CompletionPopup);
        EXPECT_EQ(row.items, Items(G.CompletionPopup));
    }
}

TEST_F(CompletionPopup, CandidatesLongerThanAPathAreWalkedAndPickedWhole) {
    std::wstring parent = dir.path() + std::wstring(200 - dir.path().size(), L'p');
    std::vector<std::wstring> names = {std::wstring(150, L'n') + L"A", std::wstring(150, L'n') + L"B"};
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + parent).c_str(), nullptr));
    for (const std::wstring& name : names)
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + parent + L"\\" + name).c_str(), nullptr));

    Type(parent + L"\\n");
    HWND popup = G.CompletionPopup;
    ASSERT_NE(nullptr, popup);
    std::vector<std::wstring> items = Items(popup);
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(352u, items[0].size());

    Key(VK_DOWN);
    EXPECT_EQ(items[0], WindowText(edit));
    EXPECT_EQ(352u, CaretEnd());
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ(items[1], WindowText(edit));

    int top = (int)SendMessageW(popup, LB_GETTOPINDEX, 0, 0);
    SendMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, ItemCentre(popup, top));
    EXPECT_EQ(items[top], WindowText(edit));
    EXPECT_FALSE(IsWindow(popup));

    StringListClear(&G.PathList);
    for (const std::wstring& name : names) RemoveDirectoryW((L"\\\\?\\" + parent + L"\\" + name).c_str());
    RemoveDirectoryW((L"\\\\?\\" + parent).c_str());
}

}  // namespace
