#include "ui/destination_dialog.h"

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include "base/state.h"
#include "resource.h"
#include "ui/archive_name_folder.h"
#include "ui/completion_popup.h"
#include "ui/theme.h"

int ShowDestinationDialog(const WCHAR* archiveBaseName) {
    if (G.QuietRun) return IDOK;  // unattended: the destination as it stands
    if (!archiveBaseName) archiveBaseName = L"";
    return (int)DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_DESTINATION), nullptr,
                                DestinationDialogProc, (LPARAM)archiveBaseName);
}

static int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM initialPath) {
    if (message == BFFM_INITIALIZED) {
        ApplyDialogTheme(browser);
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, initialPath);
        // Wine's tree may still be filling when the browser reports itself
        // initialised: the selection is made again once its loop runs.
        PostMessageW(browser, BFFM_SETSELECTIONW, TRUE, initialPath);
    }
    return 0;
}

// The browser's new dialog style needs OLE on this thread. Where OLE can't
// start (COM already set up otherwise) the browser is tried all the same.
static void InitializeFolderBrowser(void) {
    if (G.oleInitialized) return;
    if (SUCCEEDED(OleInitialize(nullptr))) G.oleInitialized = TRUE;
}

void UninitializeFolderBrowser(void) {
    if (!G.oleInitialized) return;
    OleUninitialize();
    G.oleInitialized = FALSE;
}

// The browser writes its display name and the path into buffers of our
// own, so that pathBuffer, which is also the initial path, changes only
// when a folder with a path was chosen.
BOOL BrowseForFolder(HWND owner, WCHAR* pathBuffer, const WCHAR* initialPath) {
    WCHAR title[kTextChars];
    if (!LoadStringW(GetModuleHandleW(nullptr), IDS_SELECT_FOLDER, title, kTextChars)) title[0] = 0;
    WCHAR displayName[MAX_PATH];
    WCHAR chosen[MAX_PATH];

    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = initialPath ? BrowseCallback : nullptr;
    info.lParam = (LPARAM)initialPath;

    InitializeFolderBrowser();
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
    if (!list) return FALSE;
    BOOL found = SHGetPathFromIDListW(list, chosen);
    CoTaskMemFree(list);
    if (!found || !chosen[0]) return FALSE;
    lstrcpynW(pathBuffer, chosen, MAX_PATH);
    return TRUE;
}

// Puts text into the folder edit without starting a completion.
static void SetFolderText(HWND dialog, const WCHAR* text) {
    G.SuppressNextChange = 1;
    SetDlgItemTextW(dialog, IDC_FOLDER_EDIT, text);
}

static void ShowProgramIcon(HWND dialog) {
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    // The icon the shell gives the program file's type, without opening it.
    SHFILEINFOW info = {};
    if (!SHGetFileInfoW(path, 0, &info, sizeof(info), SHGFI_ICON | SHGFI_USEFILEATTRIBUTES)) return;
    SendDlgItemMessageW(dialog, IDC_PROGRAM_ICON, STM_SETICON, (WPARAM)info.hIcon, 0);
}

static void OnFolderEditChange(HWND dialog, HWND edit) {
    if (G.SuppressNextChange) {
        G.SuppressNextChange = 0;
        return;
    }
    WCHAR text[MAX_PATH];
    GetWindowTextW(edit, text, MAX_PATH);
    if (text[0]) {
        UpdateCompletion(edit, text);
        return;
    }
    // An emptied edit gets the committed destination back, caret at the end.
    CloseCompletionPopup();
    const WCHAR* destination = G.RunSettings.destination;
    if (!destination[0]) return;
    SetFolderText(dialog, destination);
    int length = lstrlenW(destination);
    PostMessageW(edit, EM_SETSEL, length, length);
}

static void OnBrowse(HWND dialog) {
    WCHAR* destination = G.RunSettings.destination;
    CloseCompletionPopup();
    GetDlgItemTextW(dialog, IDC_FOLDER_EDIT, destination, MAX_PATH);
    if (BrowseForFolder(dialog, destination, destination)) SetFolderText(dialog, destination);
}

// The box has already toggled itself. A name that would make the text too
// long is not appended, and the box goes back to unchecked.
static void OnArchiveNameBox(HWND dialog) {
    WCHAR* destination = G.RunSettings.destination;
    CloseCompletionPopup();
    GetDlgItemTextW(dialog, IDC_FOLDER_EDIT, destination, MAX_PATH);
    BOOL checked = IsDlgButtonChecked(dialog, IDC_CREATE_SUBFOLDER) == BST_CHECKED;
    if (!ApplyArchiveNameChoice(destination, MAX_PATH, G.dialogBaseName, checked))
        CheckDlgButton(dialog, IDC_CREATE_SUBFOLDER, BST_UNCHECKED);
    SetFolderText(dialog, destination);
}

static void OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == EN_CHANGE) {
        if (LOWORD(wParam) == IDC_FOLDER_EDIT) OnFolderEditChange(dialog, (HWND)lParam);
        return;
    }
    // The whole wParam: buttons only with BN_CLICKED, Enter and Esc included.
    switch (wParam) {
    case IDOK:
        if (CloseCompletionPopup()) return;  // the first OK only closes the popup
        GetDlgItemTextW(dialog, IDC_FOLDER_EDIT, G.RunSettings.destination, MAX_PATH);
        EndDialog(dialog, IDOK);
        return;
    case IDCANCEL:
        if (CloseCompletionPopup()) return;
        EndDialog(dialog, IDCANCEL);
        return;
    case IDC_BROWSE:
        OnBrowse(dialog);
        return;
    case IDC_CREATE_SUBFOLDER:
        OnArchiveNameBox(dialog);
        return;
    }
}

INT_PTR CALLBACK DestinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        ApplyDialogTheme(dialog);
        G.dialogBaseName = (const WCHAR*)lParam;
        SetFolderText(dialog, G.RunSettings.destination);
        ShowProgramIcon(dialog);
        return TRUE;
    case WM_DESTROY: {
        CloseCompletionPopup();
        HICON icon = (HICON)SendDlgItemMessageW(dialog, IDC_PROGRAM_ICON, STM_GETICON, 0, 0);
        if (icon) DestroyIcon(icon);
        return FALSE;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE || HIWORD(wParam) != 0) CloseCompletionPopup();
        return FALSE;
    case WM_SIZE:
        // Without a window manager Wine minimises the dialog and leaves it
        // active, so no WM_ACTIVATE reports the minimising.
        if (wParam == SIZE_MINIMIZED) CloseCompletionPopup();
        return FALSE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
        CloseCompletionPopup();
        return FALSE;
    case WM_COMMAND:
        OnCommand(dialog, wParam, lParam);
        return FALSE;
    }
    return FALSE;
}
