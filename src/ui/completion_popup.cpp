#include "ui/completion_popup.h"

#include <stdlib.h>
#include <wchar.h>

#include "base/string_list.h"
#include "resource.h"
#include "ui/network_names.h"

// A candidate joins a parent of up to MAX_PATH + 1 characters (the read
// text with ":\" added) and a found name of up to MAX_PATH - 1.
enum { kCandidateChars = 2 * MAX_PATH + 4 };

static BOOL IsAsciiLetter(WCHAR c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Texts that begin with \ followed by the end or a second \: servers for
// \ and \\SER, shares for \\SER\. Returns -1 for every other text, which
// then names folders (\\SER\share\sub included).
static int CollectNetworkCandidates(const WCHAR* text) {
    if (text[0] != L'\\' || (text[1] != 0 && text[1] != L'\\')) return -1;
    if (text[1] == 0) {
        ListNetworkServers(nullptr, &G.PathList);
        return StringListCount(&G.PathList);
    }
    const WCHAR* nextSlash = wcschr(text + 2, L'\\');
    if (!nextSlash) {
        ListNetworkServers(text, &G.PathList);
        return StringListCount(&G.PathList);
    }
    if (nextSlash[1] != 0) return -1;

    WCHAR server[MAX_PATH];
    int serverLength = (int)(nextSlash - text);
    if (serverLength >= MAX_PATH) return 0;
    lstrcpynW(server, text, serverLength + 1);

    StringListClear(&G.ServerList);
    ListNetworkServers(nullptr, &G.ServerList);
    for (const WCHAR* entry = StringListFirst(&G.ServerList); entry; entry = StringListNext(&G.ServerList))
        if (_wcsnicmp(entry, server, serverLength) == 0) ListServerShares(entry);
    StringListClear(&G.ServerList);
    return StringListCount(&G.PathList);
}

static BOOL IsVisibleSubfolder(const WIN32_FIND_DATAW* found) {
    if (!(found->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
    if (found->dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) return FALSE;
    return lstrcmpW(found->cFileName, L".") != 0 && lstrcmpW(found->cFileName, L"..") != 0;
}

// The sub-folders of the text's parent whose names begin with its last
// component, as the file system matches "prefix*" (any case, wildcards
// typed by the user act as such), in the file system's order.
static int CollectLocalFolders(const WCHAR* text) {
    int length = lstrlenW(text);
    if (length >= MAX_PATH) return 0;

    // The text, a drive completion and the search's "*" fit in MAX_PATH + 3.
    WCHAR pattern[MAX_PATH + 4];
    lstrcpynW(pattern, text, MAX_PATH);
    if (IsAsciiLetter(pattern[0]) && pattern[1] == 0) lstrcatW(pattern, L":\\");
    else if (IsAsciiLetter(pattern[0]) && pattern[1] == L':' && pattern[2] == 0) lstrcatW(pattern, L"\\");

    WCHAR* lastSlash = wcsrchr(pattern, L'\\');
    if (!lastSlash) return 0;
    lstrcatW(pattern, L"*");

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    *lastSlash = 0;  // pattern now holds the parent
    int count = 0;
    WCHAR candidate[kCandidateChars];
    do {
        if (!IsVisibleSubfolder(&found)) continue;
        wsprintfW(candidate, L"%s\\%s", pattern, found.cFileName);
        if (StringListAdd(&G.PathList, candidate)) count++;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

int CollectFolderCandidates(const WCHAR* text) {
    if (G.CompletionPopup) SendMessageW(G.CompletionPopup, LB_RESETCONTENT, 0, 0);
    StringListClear(&G.PathList);
    int count = CollectNetworkCandidates(text);
    return count >= 0 ? count : CollectLocalFolders(text);
}

void UpdateCompletion(HWND edit, const WCHAR* text) {
    if (!G.CompletionPopup) {
        G.CompletionEdit = edit;
        StringListClear(&G.PathList);
    }
    int count = CollectFolderCandidates(text);
    if (count == 0) {
        CloseCompletionPopup();
        return;
    }
    int rows = count < kPopupRows ? count : kPopupRows;
    RECT editRect;
    GetWindowRect(edit, &editRect);
    RECT popupRect = {editRect.left, editRect.bottom, editRect.right - 20, editRect.bottom + kRowHeight * rows};
    HFONT font = (HFONT)SendMessageW(edit, WM_GETFONT, 0, 0);
    OpenCompletionPopup(&popupRect, font);
    FillCompletionPopup(&popupRect);
    // Shown once filled and sized, and without taking the activation.
    if (G.CompletionPopup && !IsWindowVisible(G.CompletionPopup)) ShowWindow(G.CompletionPopup, SW_SHOWNA);
}

BOOL CloseCompletionPopup(void) {
    BOOL closed = FALSE;
    if (G.CompletionPopup && IsWindow(G.CompletionPopup)) {
        DestroyWindow(G.CompletionPopup);  // its WM_DESTROY removes the hook
        closed = TRUE;
    }
    StringListClear(&G.PathList);
    G.CompletionPopup = nullptr;
    return closed;
}

// The popup floats over the dialog at screen coordinates. It is a topmost
// tool window owned by the dialog rather than a child of the desktop:
// Wine's window server moves an exposed dialog above a desktop child that
// overlaps it, which hid the part of the list over the dialog and sent
// clicks there to the dialog. It never takes the activation, which would
// close it.
void OpenCompletionPopup(const RECT* rectangle, HFONT font) {
    if (G.CompletionPopup) return;
    HWND popup = CreateWindowExW(
        WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"LISTBOX", L"",
        WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_THICKFRAME |
            LBS_WANTKEYBOARDINPUT | LBS_HASSTRINGS,
        rectangle->left, rectangle->top, rectangle->right - rectangle->left, rectangle->bottom - rectangle->top,
        GetParent(G.CompletionEdit), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!popup) return;
    G.CompletionPopup = popup;
    SendMessageW(popup, WM_SETFONT, (WPARAM)font, FALSE);

    if (!G.listBoxProc) G.listBoxProc = (WNDPROC)GetWindowLongPtrW(popup, GWLP_WNDPROC);
    SetWindowLongPtrW(popup, GWLP_WNDPROC, (LONG_PTR)CompletionPopupProc);

    // The hook goes with every popup, so each new popup clears the box; the
    // text keeps what the box had appended.
    if (G.keyboardHook) return;
    G.keyboardHook = SetWindowsHookExW(WH_KEYBOARD, CompletionKeyboardHook, nullptr, GetCurrentThreadId());
    HWND dialog = GetParent(G.CompletionEdit);
    if (IsDlgButtonChecked(dialog, IDC_CREATE_SUBFOLDER) == BST_CHECKED)
        CheckDlgButton(dialog, IDC_CREATE_SUBFOLDER, BST_UNCHECKED);
}

void FillCompletionPopup(const RECT* rectangle) {
    HWND popup = G.CompletionPopup;
    if (!popup) return;
    int width = rectangle->right - rectangle->left;
    int height = rectangle->bottom - rectangle->top;
    int extent = width;
    BOOL wider = FALSE;

    HDC dc = GetDC(popup);
    HFONT font = (HFONT)SendMessageW(popup, WM_GETFONT, 0, 0);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    for (const WCHAR* entry = StringListFirst(&G.PathList); entry; entry = StringListNext(&G.PathList)) {
        SendMessageW(popup, LB_ADDSTRING, 0, (LPARAM)entry);
        SIZE size;
        if (GetTextExtentPoint32W(dc, entry, lstrlenW(entry), &size) && size.cx > extent) {
            extent = size.cx;
            wider = TRUE;
        }
    }
    if (oldFont) SelectObject(dc, oldFont);
    ReleaseDC(popup, dc);

    SendMessageW(popup, LB_SETHORIZONTALEXTENT, wider ? extent : 0, 0);
    SetWindowPos(popup, nullptr, 0, 0, width > 100 ? width : 100, height > 48 ? height : 48,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// A heap copy of item index (free it), whatever its length: candidates
// may exceed any fixed buffer. Null when there is no such item.
static WCHAR* CopyItemText(HWND list, int index) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return nullptr;
    WCHAR* text = (WCHAR*)malloc((length + 1) * sizeof(WCHAR));
    if (!text) return nullptr;
    if (SendMessageW(list, LB_GETTEXT, index, (LPARAM)text) == LB_ERR) {
        free(text);
        return nullptr;
    }
    return text;
}

// Writes item index into the completion edit with the caret at its end.
// A walked-to entry must not recompute the candidates, and the walking key
// still reaches the edit afterwards, so its caret is placed by a posted
// message; a picked entry refreshes the popup through the dialog.
static void WriteItemToEdit(HWND popup, int index, BOOL walking) {
    WCHAR* text = CopyItemText(popup, index);
    if (!text) return;
    int length = lstrlenW(text);
    if (walking) G.SuppressNextChange = 1;
    SetWindowTextW(G.CompletionEdit, text);
    if (walking)
        PostMessageW(G.CompletionEdit, EM_SETSEL, length, length);
    else
        SendMessageW(G.CompletionEdit, EM_SETSEL, length, length);
    free(text);
}

static int WalkedIndex(WPARAM key, int current, int count) {
    if (key == VK_TAB) key = GetKeyState(VK_SHIFT) < 0 ? VK_UP : VK_DOWN;
    switch (key) {
    case VK_DOWN:
        return current + 1 >= count ? 0 : current + 1;
    case VK_UP: {
        int up = (current < 0 ? count : current) - 1;
        return up < 0 ? count - 1 : up;
    }
    case VK_PRIOR:
        return 0;
    default:  // VK_NEXT
        return count - 1;
    }
}

static void WalkCompletionPopup(HWND popup, WPARAM key) {
    int count = (int)SendMessageW(popup, LB_GETCOUNT, 0, 0);
    int current = (int)SendMessageW(popup, LB_GETCURSEL, 0, 0);
    int index = WalkedIndex(key, current, count);
    if (SendMessageW(popup, LB_SETCURSEL, index, 0) == LB_ERR) return;
    WriteItemToEdit(popup, index, TRUE);
}

// The hook never swallows a key: Tab still moves the focus, the arrows
// still reach the edit, and Enter reaches the dialog as OK, whose first
// press only closes the popup.
LRESULT CALLBACK CompletionKeyboardHook(int code, WPARAM virtualKey, LPARAM keyFlags) {
    HWND popup = G.CompletionPopup;
    if (code == HC_ACTION && popup && IsWindow(popup)) {
        BOOL keyDown = (keyFlags & 0x80000000) == 0;
        switch (virtualKey) {
        case VK_TAB:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_UP:
        case VK_DOWN:
            if (keyDown) WalkCompletionPopup(popup, virtualKey);
            break;
        case VK_RETURN: {
            int selected = (int)SendMessageW(popup, LB_GETCURSEL, 0, 0);
            if (selected != LB_ERR) WriteItemToEdit(popup, selected, FALSE);
            break;
        }
        }
    }
    return CallNextHookEx(G.keyboardHook, code, virtualKey, keyFlags);
}

LRESULT CALLBACK CompletionPopupProc(HWND popup, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        if (G.CompletionPopup == popup) G.CompletionPopup = nullptr;
        if (G.keyboardHook) {
            UnhookWindowsHookEx(G.keyboardHook);
            G.keyboardHook = nullptr;
        }
        break;
    case WM_MOUSEACTIVATE:
        // Wine activates a clicked popup despite WS_EX_NOACTIVATE; the
        // dialog would lose the activation and close the popup.
        return MA_NOACTIVATE;
    case WM_MOUSEMOVE: {
        LRESULT item = SendMessageW(popup, LB_ITEMFROMPOINT, 0, lParam);
        if (HIWORD(item) == 0) SendMessageW(popup, LB_SETCURSEL, LOWORD(item), 0);
        break;
    }
    case WM_LBUTTONDOWN: {
        LRESULT item = SendMessageW(popup, LB_ITEMFROMPOINT, 0, lParam);
        if (HIWORD(item) != 0) break;
        // The dialog's completion for the picked path may already have
        // closed the popup; the list box is gone then and hears no more.
        WriteItemToEdit(popup, LOWORD(item), FALSE);
        if (IsWindow(popup)) DestroyWindow(popup);
        return 0;
    }
    }
    return CallWindowProcW(G.listBoxProc, popup, message, wParam, lParam);
}
