// The destination dialog and its completion popup, driven through real
// windows with real keys and clicks.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include "base/string_list.h"
#include "resource.h"
#include "support/gui_driver.h"
#include "support/test_files.h"
#include "support/ui/dialog_fixture.h"

namespace {

void MakeFolder(const std::wstring& path, DWORD attributes = 0) {
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Narrow(path);
    if (attributes) ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes | FILE_ATTRIBUTE_DIRECTORY));
}

std::wstring WithoutSlash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> items) {
    std::sort(items.begin(), items.end());
    return items;
}

BOOL CALLBACK AddChild(HWND child, LPARAM list) {
    ((std::vector<HWND>*)list)->push_back(child);
    return TRUE;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, AddChild, (LPARAM)&children);
    return children;
}

// Text of the item selected in the folder browser's tree.
std::wstring BrowserSelection(HWND browser) {
    for (HWND child : Children(browser)) {
        if (ClassName(child) != WC_TREEVIEWW) continue;
        HTREEITEM item = (HTREEITEM)SendMessageW(child, TVM_GETNEXTITEM, TVGN_CARET, 0);
        if (!item) return std::wstring();
        WCHAR text[MAX_PATH] = L"";
        TVITEMW info = {};
        info.mask = TVIF_TEXT;
        info.hItem = item;
        info.pszText = text;
        info.cchTextMax = MAX_PATH;
        SendMessageW(child, TVM_GETITEMW, 0, (LPARAM)&info);
        return text;
    }
    return std::wstring();
}

bool HasChildWithText(HWND parent, const std::wstring& text) {
    for (HWND child : Children(parent))
        if (WindowText(child) == text) return true;
    return false;
}

// The pixels and mask of an icon, to compare icons by what they show;
// empty for none. destroy: the icon is the caller's to free.
std::vector<BYTE> IconBits(HICON icon, bool destroy) {
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) return {};
    std::vector<BYTE> bits;
    for (HBITMAP bitmap : {info.hbmColor, info.hbmMask}) {
        if (!bitmap) continue;
        BITMAP header = {};
        GetObjectW(bitmap, sizeof(header), &header);
        size_t at = bits.size();
        bits.resize(at + (size_t)header.bmWidthBytes * header.bmHeight);
        GetBitmapBits(bitmap, (LONG)(bits.size() - at), bits.data() + at);
        DeleteObject(bitmap);
    }
    if (destroy) DestroyIcon(icon);
    return bits;
}

class DestinationDialog : public ::testing::Test {
protected:
    void TearDown() override { StringListClear(&G.PathList); }

    // Opens the dialog on the fixture folder with the caret at the end.
    void OpenAtFolder(const std::wstring& destination) {
        run.Open(destination);
        ASSERT_NE(nullptr, run.dialog());
        ASSERT_TRUE(run.Press(VK_END));
    }
    void WaitForPopupItems(size_t count) {
        EXPECT_TRUE(WaitUntil([&] { return Popup() && PopupItems().size() == count; }))
            << PopupItems().size() << " items in " << Narrow(run.EditText());
    }

    TempFolder dir;
    DialogRun run;
};

TEST_F(DestinationDialog, StartsWithTheDestinationAndNoPopup) {
    run.Open(L"C:\\Program Files\\Pkg");
    ASSERT_NE(nullptr, run.dialog());
    EXPECT_EQ(L"Confirm Extracting", WindowText(run.dialog()));
    EXPECT_EQ(L"C:\\Program Files\\Pkg", run.EditText());
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(run.dialog(), 1012));
    // The shell's icon for the program's file type, not the template's.
    std::vector<BYTE> shown = IconBits((HICON)SendDlgItemMessageW(run.dialog(), 1010, STM_GETICON, 0, 0), false);
    WCHAR program[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    SHFILEINFOW shell = {};
    ASSERT_TRUE(SHGetFileInfoW(program, 0, &shell, sizeof(shell), SHGFI_ICON | SHGFI_USEFILEATTRIBUTES));
    std::vector<BYTE> expected = IconBits(shell.hIcon, true);
    std::vector<BYTE> templateIcon = IconBits(
        (HICON)LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE),
        true);
    ASSERT_FALSE(expected.empty());
    ASSERT_NE(templateIcon, expected) << "the two icons can't be told apart";
    EXPECT_EQ(expected, shown);
    EXPECT_EQ(nullptr, Popup());
    EXPECT_EQ(0, G.SuppressNextChange);

    ASSERT_TRUE(run.Press(VK_ESCAPE));
    EXPECT_EQ(2, run.Result());
    EXPECT_STREQ(L"C:\\Program Files\\Pkg", G.RunSettings.destination);
}

TEST_F(DestinationDialog, OkCommitsTheTextAndCancelDoesNot) {
    run.Open(L"C:\\before");
    ASSERT_NE(nullptr, run.dialog());
    ASSERT_TRUE(run.SelectAll());
    ASSERT_TRUE(run.Type(L"out"));
    ASSERT_TRUE(WaitUntil([&] { return run.EditText() == L"out"; })) << Narrow(run.EditText());
    EXPECT_STREQ(L"C:\\before", G.RunSettings.destination);  // not committed while typing
    ASSERT_TRUE(run.Press(VK_RETURN));
    EXPECT_EQ(1, run.Result());
    EXPECT_STREQ(L"out", G.RunSettings.destination);
}

TEST_F(DestinationDialog, ATextLongerThanAPathIsCommittedAsItsFirst259Characters) {
    run.Open(L"C:\\");
    ASSERT_NE(nullptr, run.dialog());
    std::wstring typed = L"C:\\" + std::wstring(300, L'x');
    SetWindowTextW(run.edit(), typed.c_str());
    ASSERT_EQ(typed, run.EditText());
    ClickButton(run.dialog(), IDOK);
    EXPECT_EQ(1, run.Result());
    EXPECT_EQ(typed.substr(0, 259), std::wstring(G.RunSettings.destination));
}

TEST_F(DestinationDialog, EmptyingTheEditPutsTheCommittedTextBackWithTheCaretAtTheEnd) {
    MakeFolder(dir / L"a1");
    OpenAtFolder(dir.path());
    ASSERT_TRUE(run.Type(L"a"));
    WaitForPopupItems(1);
    ASSERT_TRUE(run.SelectAllAndDelete());
    ASSERT_TRUE(WaitUntil([&] { return run.EditText() == dir.path() && Popup() == nullptr; }))
        << Narrow(run.EditText());
    EXPECT_TRUE(WaitUntil([&] { return run.CaretEnd() == dir.path().size(); })) << run.CaretEnd();
    EXPECT_EQ(0, G.SuppressNextChange);
    EXPECT_EQ(0, StringListCount(&G.PathList));
}

TEST_F(DestinationDialog, TheBoxAppendsAndRemovesTheBaseName) {
    run.Open(L"C:\\Temp");
    ASSERT_NE(nullptr, run.dialog());
    struct Step {
        const wchar_t* before;  // null: keep the text
        const wchar_t* after;
    } steps[] = {
        {nullptr, L"C:\\Temp\\Pkg\\"},
        {nullptr, L"C:\\Temp\\"},
        {L"C:\\Temp\\MyPkg", L"C:\\Temp\\MyPkg\\Pkg\\"},
        {L"C:\\Temp\\MyPkg", L"C:\\Temp\\My\\"},
        {L"C:\\Pkg\\Sub", L"C:\\Pkg\\Sub\\Pkg\\"},
        {L"C:\\Pkg\\Sub", L"C:\\Pkg\\Sub\\"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(Narrow(step.after));
        if (step.before) SetWindowTextW(run.edit(), step.before);
        UINT wasChecked = IsDlgButtonChecked(run.dialog(), 1012);
        ASSERT_TRUE(ClickButton(run.dialog(), 1012));
        ASSERT_TRUE(WaitUntil([&] { return IsDlgButtonChecked(run.dialog(), 1012) != wasChecked; }));
        EXPECT_TRUE(WaitUntil([&] { return run.EditText() == step.after; })) << Narrow(run.EditText());
        // The box commits the text, and its own edit opens no popup.
        EXPECT_STREQ(step.after, G.RunSettings.destination);
        EXPECT_EQ(nullptr, Popup());
        EXPECT_EQ(0, G.SuppressNextChange);
    }
}

TEST_F(DestinationDialog, TheBoxCommitsAnOverLongTextCutAndRefusesTheName) {
    run.Open(L"C:\\");
    ASSERT_NE(nullptr, run.dialog());
    std::wstring typed = L"C:\\" + std::wstring(300, L'x');
    SetWindowTextW(run.edit(), typed.c_str());
    ASSERT_TRUE(ClickButton(run.dialog(), 1012));
    // 259 characters leave no room for a backslash and the name: the text
    // is committed as read, and the box does not stay checked.
    EXPECT_TRUE(WaitUntil([&] { return run.EditText() == typed.substr(0, 259); })) << run.EditText().size();
    EXPECT_EQ(typed.substr(0, 259), std::wstring(G.RunSettings.destination));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(run.dialog(), 1012));
}

TEST_F(DestinationDialog, APopupThatOpensClearsTheBoxButKeepsTheAppendedName) {
    MakeFolder(dir / L"Pkg");
    MakeFolder(dir / L"Pkg\\s1");
    OpenAtFolder(WithoutSlash(dir.path()));
    ASSERT_TRUE(ClickButton(run.dialog(), 1012));
    ASSERT_TRUE(WaitUntil([&] { return run.EditText() == dir / L"Pkg\\"; }));
    // The click left the focus on the box.
    ASSERT_TRUE(ClickWithMouse(run.edit()));
    ASSERT_TRUE(run.Press(VK_END));
    ASSERT_TRUE(run.Type(L"s"));
    WaitForPopupItems(1);
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(run.dialog(), 1012));
    EXPECT_EQ(dir / L"Pkg\\s", run.EditText());
}

TEST_F(DestinationDialog, TypingOffersTheVisibleSubfoldersOnly) {
    for (int i = 1; i <= 20; i++) MakeFolder(dir / (L"f" + std::to_wstring(100 + i)));
    MakeFolder(dir / L"fhidden", FILE_ATTRIBUTE_HIDDEN);
    MakeFolder(dir / L"fsystem", FILE_ATTRIBUTE_SYSTEM);
    WriteBytes(dir / L"file.txt", "x");
    OpenAtFolder(dir.path());
    ASSERT_TRUE(run.Type(L"f"));
    WaitForPopupItems(20);
    std::vector<std::wstring> expected;
    for (int i = 1; i <= 20; i++) expected.push_back(dir / (L"f" + std::to_wstring(100 + i)));
    EXPECT_EQ(expected, Sorted(PopupItems()));

    // Sixteen rows of 16 pixels at most, under the edit.
    RECT popupRect, editRect;
    GetWindowRect(Popup(), &popupRect);
    GetWindowRect(run.edit(), &editRect);
    EXPECT_LE(popupRect.bottom - popupRect.top, 16 * 16);
    EXPECT_EQ(editRect.bottom, popupRect.top);
    EXPECT_EQ(editRect.left, popupRect.left);
    SaveScreenshot("destination_dialog_popup");

    // One more character narrows the list; a text that matches nothing
    // closes the popup.
    ASSERT_TRUE(run.Type(L"11"));
    WaitForPopupItems(10);
    ASSERT_TRUE(run.Type(L"1"));
    WaitForPopupItems(1);
    EXPECT_EQ(dir / L"f111", PopupItem(0));
    ASSERT_TRUE(run.Type(L"x"));
    EXPECT_TRUE(WaitUntil([&] { return Popup() == nullptr; }));
    EXPECT_EQ(0, StringListCount(&G.PathList));
}

TEST_F(DestinationDialog, ATextWithoutABackslashOffersNothing) {
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
    MakeFolder(dir / L"abc");
    MakeFolder(dir / L"abcd");
    run.Open(L"x");
    ASSERT_NE(nullptr, run.dialog());
    ASSERT_TRUE(run.SelectAll());
    ASSERT_TRUE(run.Type(L"abc"));
    ASSERT_TRUE(WaitUntil([&] { return run.EditText() == L"abc"; }));
    // The edit's change has been handled once its text is there.
    EXPECT_EQ(nullptr, Popup());
    EXPECT_EQ(0, StringListCount(&G.PathList));
    // Then a relative text with a backslash does offer its folders.
    ASSERT_TRUE(run.SelectAll());
    ASSERT_TRUE(run.Type(L".\\ab"));
    WaitForPopupItems(2);
    EXPECT_EQ((std::vector<std::wstring>{L".\\abc", L".\\abcd"}), Sorted(PopupItems()));
    SetCurrentDirectoryW(L"C:\\");
}

TEST_F(DestinationDialog, KeysWalkAndWrapWithoutShrinkingTheList) {
    MakeFolder(dir / L"a1");
    MakeFolder(dir / L"a2");
    MakeFolder(dir / L"b1");
    OpenAtFolder(WithoutSlash(dir.path()));
    ASSERT_TRUE(run.Type(L"\\"));
    WaitForPopupItems(3);
    std::vector<std::wstring> items = PopupItems();
    ASSERT_EQ(-1, PopupSelection());

    struct Step {
        WORD key;
        bool shift;
        int selected;
    } steps[] = {
        {VK_DOWN, false, 0},  {VK_DOWN, false, 1},  {VK_DOWN, false, 2}, {VK_DOWN, false, 0},
        {VK_UP, false, 2},    {VK_UP, false, 1},    {VK_PRIOR, false, 0}, {VK_NEXT, false, 2},
        {VK_TAB, false, 0},   {VK_TAB, true, 2},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "key " << step.key << (step.shift ? " with shift" : ""));
        ASSERT_TRUE(run.Press(step.key, step.shift));
        EXPECT_TRUE(WaitUntil([&] { return PopupSelection() == step.selected; })) << PopupSelection();
        EXPECT_TRUE(WaitUntil([&] { return run.EditText() == items[step.selected]; })) << Narrow(run.EditText());
        EXPECT_TRUE(WaitUntil([&] { return run.CaretEnd() == items[step.selected].size(); }));
        EXPECT_EQ(items, PopupItems());
        EXPECT_EQ(WithoutSlash(dir.path()), std::wstring(G.RunSettings.destination));  // nothing committed
    }
    // Tab still moved the focus (to Browse) and Shift+Tab back to the edit;
    // editing the walked-to text recomputes the list.
    ASSERT_TRUE(run.Press(VK_END));
    ASSERT_TRUE(run.Press(VK_BACK));
    WaitForPopupItems(1);
    EXPECT_EQ(dir / L"b1", PopupItem(0));
}

TEST_F(DestinationDialog, EnterPicksTheSelectedEntryAndOnlyClosesThePopup) {
    MakeFolder(dir / L"a1");
    MakeFolder(dir / L"a2");
    OpenAtFolder(dir.path());
    ASSERT_TRUE(run.Type(L"a"));
    WaitForPopupItems(2);
    std::vector<std::wstring> items = PopupItems();
    ASSERT_TRUE(run.Press(VK_DOWN));
    ASSERT_TRUE(run.Press(VK_DOWN));
    ASSERT_TRUE(WaitUntil([&] { return run.EditText() == items[1]; }));
    ASSERT_TRUE(run.Press(VK_RETURN));
    EXPECT_TRUE(WaitUntil([&] { return Popup() == nullptr; }));
    EXPECT_FALSE(run.Ended());
    EXPECT_EQ(items[1], run.EditText());
    ASSERT_TRUE(run.Press(VK_RETURN));
    EXPECT_EQ(1, run.Result());
    EXPECT_EQ(items[1], std::wstring(G.RunSettings.destination));
    EXPECT_EQ(0, StringListCount(&G.PathList));
}

TEST_F(DestinationDialog, OkAndCancelFirstOnlyCloseAnOpenPopup) {
    MakeFolder(dir / L"a1");
    struct Case {
        const char* name;
        bool useKey;
        WORD key;
        int button;
        int result;
    } cases[] = {
        {"Enter", true, VK_RETURN, 0, 1},
        {"Esc", true, VK_ESCAPE, 0, 2},
        {"OK button", false, 0, IDOK, 1},
        {"Cancel button", false, 0, IDCANCEL, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogRun one;
        one.Open(dir.path() + L"before");
        ASSERT_NE(nullptr, one.dialog());
        ASSERT_TRUE(one.Press(VK_END));
        for (int i = 0; i < 6; i++) ASSERT_TRUE(one.Press(VK_BACK));  // "before" gone
        ASSERT_TRUE(one.Type(L"a"));
        ASSERT_TRUE(WaitUntil([&] { return one.EditText() == dir / L"a" && Popup() != nullptr; }));
        for (int press = 0; press < 2; press++) {
            if (c.useKey)
                ASSERT_TRUE(one.Press(c.key));
            else
                ASSERT_TRUE(ClickButton(one.dialog(), c.button));
            if (press == 0) {
                EXPECT_TRUE(WaitUntil([&] { return Popup() == nullptr; }));
                EXPECT_FALSE(one.Ended());
            }
        }
        EXPECT_EQ(c.result, one.Result());
        std::wstring committed = c.result == 1 ? dir / L"a" : dir.path() + L"before";
        EXPECT_EQ(committed, std::wstring(G.RunSettings.destination));
    }
}

TEST_F(DestinationDialog, AClickPicksAnEntryAndClosesThePopup) {
    MakeFolder(dir / L"a1");
    MakeFolder(dir / L"a2");
    MakeFolder(dir / L"a3");
    OpenAtFolder(dir.path());
    ASSERT_TRUE(run.Type(L"a"));
    WaitForPopupItems(3);
    HWND popup = Popup();
    std::wstring expected = PopupItem(1);
    ASSERT_TRUE(ClickPopupItem(1));
    EXPECT_TRUE(WaitUntil([&] { return run.EditText() == expected; })) << Narrow(run.EditText());
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(popup); }));
    EXPECT_EQ(nullptr, Popup());
    EXPECT_EQ(nullptr, G.keyboardHook);
    EXPECT_FALSE(run.Ended());
    ASSERT_TRUE(run.Press(VK_RETURN));
    EXPECT_EQ(1, run.Result());
    EXPECT_EQ(expected, std::wstring(G.RunSettings.destination));
}

TEST_F(DestinationDialog, LeavingTheDialogClosesThePopupWithoutChangingTheText) {
    MakeFolder(dir / L"a1");
    OpenAtFolder(dir.path());
    std::wstring typed = dir / L"a";

    ASSERT_TRUE(run.Type(L"a"));
    WaitForPopupItems(1);
    ASSERT_TRUE(ClickNonClient(run.dialog(), HTCAPTION));
    EXPECT_TRUE(WaitUntil([&] { return Popup() == nullptr; })) << "caption click";
    EXPECT_EQ(typed, run.EditText());

    ASSERT_TRUE(run.Press(VK_BACK));
    ASSERT_TRUE(run.Type(L"a"));
    WaitForPopupItems(1);
    PostMessageW(run.dialog(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(WaitUntil([&] { return Popup() == nullptr; })) << "minimise";
    EXPECT_EQ(typed, run.EditText());
    PostMessageW(run.dialog(), WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsIconic(run.dialog()); }));

    ASSERT_TRUE(run.Press(VK_BACK));
    ASSERT_TRUE(run.Type(L"a"));
    WaitForPopupItems(1);
    // Another application's window comes to the front.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(BringToFront(other));
    EXPECT_TRUE(WaitUntil([&] { return Popup() == nullptr; })) << "deactivation";
    EXPECT_EQ(typed, run.EditText());
    DestroyWindow(other);
    EXPECT_FALSE(run.Ended());
}

TEST_F(DestinationDialog, BrowseCancelledLeavesTheText) {
    QuietFolder quiet;
    MakeFolder(quiet / L"start");
    std::wstring start = quiet / L"start";
    run.Open(start);
    ASSERT_NE(nullptr, run.dialog());
    ASSERT_TRUE(ClickButton(run.dialog(), 1000));
    HWND browser = WaitForFolderBrowser(run.dialog());
    ASSERT_NE(nullptr, browser);
    // Inspected only once it has initialised: messages from this thread
    // during its initial tree walk can stop the walk.
    SendMessageW(browser, WM_NULL, 0, 0);
    EXPECT_TRUE(G.oleInitialized);
    EXPECT_TRUE(HasChildWithText(browser, L"Please select a folder to store the extracted files."));
    // It starts at the folder the edit names.
    EXPECT_TRUE(WaitUntil([&] { return BrowserSelection(browser) == L"start"; })) << Narrow(BrowserSelection(browser));
    SaveScreenshot("destination_dialog_browse", browser);

    ASSERT_TRUE(ClickButton(browser, IDCANCEL));
    ASSERT_TRUE(WaitForWindowGone(browser));
    EXPECT_EQ(start, run.EditText());
    // Browse committed the text as it stood; emptying the edit brings it back.
    EXPECT_EQ(start, std::wstring(G.RunSettings.destination));
    ASSERT_TRUE(run.SelectAllAndDelete());
    EXPECT_TRUE(WaitUntil([&] { return run.EditText() == start; }));
    ASSERT_TRUE(run.Press(VK_ESCAPE));
    EXPECT_EQ(2, run.Result());
    EXPECT_TRUE(run.OleInitializedAtEnd());
    EXPECT_FALSE(G.oleInitialized);  // the run's end undid it
}

TEST_F(DestinationDialog, BrowseStartsAtTheTypedFolderAndPutsTheChoiceInTheEdit) {
    QuietFolder quiet;
    MakeFolder(quiet / L"start");
    MakeFolder(quiet / L"chosen");
    std::wstring chosen = quiet / L"chosen";
    run.Open(quiet / L"start");
    ASSERT_NE(nullptr, run.dialog());
    // Browse takes the edit's text as it stands.
    SetWindowTextW(run.edit(), (quiet / L"start\\").c_str());
    ASSERT_TRUE(ClickButton(run.dialog(), 1000));
    HWND browser = WaitForFolderBrowser(run.dialog());
    ASSERT_NE(nullptr, browser);
    // Inspected only once it has initialised: messages from this thread
    // during its initial tree walk can stop the walk.
    SendMessageW(browser, WM_NULL, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return BrowserSelection(browser) == L"start"; })) << Narrow(BrowserSelection(browser));

    // The user moves up to the sibling folder in the tree.
    ASSERT_TRUE(SendKeyChord(browser, {VK_UP}));
    ASSERT_TRUE(WaitUntil([&] { return BrowserSelection(browser) == L"chosen"; })) << Narrow(BrowserSelection(browser));
    ASSERT_TRUE(ClickButton(browser, IDOK));
    ASSERT_TRUE(WaitForWindowGone(browser));

    // The shell's path, without a trailing backslash; no popup for it.
    EXPECT_TRUE(WaitUntil([&] { return run.EditText() == chosen; })) << Narrow(run.EditText());
    EXPECT_EQ(chosen, std::wstring(G.RunSettings.destination));
    EXPECT_EQ(nullptr, Popup());
    EXPECT_EQ(0, G.SuppressNextChange);
    ASSERT_TRUE(run.Press(VK_RETURN));
    EXPECT_EQ(1, run.Result());
    EXPECT_EQ(chosen, std::wstring(G.RunSettings.destination));
}

TEST_F(DestinationDialog, BrowseClosesAnOpenPopupFirst) {
    MakeFolder(dir / L"a1");
    OpenAtFolder(dir.path());
    ASSERT_TRUE(run.Type(L"a"));
    WaitForPopupItems(1);
    ASSERT_TRUE(ClickButton(run.dialog(), 1000));
    HWND browser = WaitForFolderBrowser(run.dialog());
    ASSERT_NE(nullptr, browser);
    EXPECT_EQ(nullptr, Popup());
    EXPECT_EQ(nullptr, G.keyboardHook);
    EXPECT_EQ(dir / L"a", std::wstring(G.RunSettings.destination));
    ASSERT_TRUE(ClickButton(browser, IDCANCEL));
    ASSERT_TRUE(WaitForWindowGone(browser));
    EXPECT_EQ(dir / L"a", run.EditText());
}

TEST_F(DestinationDialog, CandidatesLongerThanAPathAreHandledWithoutOverrun) {
    std::wstring parent = dir.path() + std::wstring(200 - dir.path().size(), L'p');
    std::wstring name = std::wstring(150, L'n') + L"A";
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + parent).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + parent + L"\\" + name).c_str(), nullptr));
    OpenAtFolder(parent + L"\\");
    ASSERT_TRUE(run.Type(L"n"));
    WaitForPopupItems(1);
    std::wstring item = parent + L"\\" + name;
    ASSERT_EQ(item, PopupItem(0));

    // Walking writes the whole entry; Enter picks it, and the dialog reads
    // its first 259 characters for the next completion.
    ASSERT_TRUE(run.Press(VK_DOWN));
    EXPECT_TRUE(WaitUntil([&] { return run.EditText() == item; })) << run.EditText().size();
    ASSERT_TRUE(run.Press(VK_RETURN));
    if (!WaitUntil([&] { return run.Ended(); }, 1000)) ASSERT_TRUE(run.Press(VK_RETURN));
    EXPECT_EQ(1, run.Result());
    EXPECT_EQ(item.substr(0, 259), std::wstring(G.RunSettings.destination));

    RemoveDirectoryW((L"\\\\?\\" + parent + L"\\" + name).c_str());
    RemoveDirectoryW((L"\\\\?\\" + parent).c_str());
}

}  // namespace
