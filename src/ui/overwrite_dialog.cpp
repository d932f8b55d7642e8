#include "ui/overwrite_dialog.h"

#include <shellapi.h>
#include <stdlib.h>
#include <strsafe.h>
#include <wchar.h>

#include "base/paths.h"
#include "resource.h"
#include "ui/progress_dialog.h"
#include "ui/theme.h"

// Result of Yes to All; the caller sets OverwriteAll on it.
enum { YesToAllResult = 100 };

// One character per weekday, Sunday first, as Weekday() counts.
static const WCHAR JapaneseWeekdays[] = L"日月火水木金土";

// Details text of control 1005 or 1008: the size in place of the "%s" that
// the first pass left, or nothing when the stamp is unknown.
static void ShowFileDetails(HWND dialog, int control, DWORD stamp, ULONGLONG size) {
    WCHAR details[kTextChars];
    WCHAR text[kTextChars];
    if (!stamp || FormatFileDetails(stamp, details, ARRAYSIZE(details)) <= 0) return;
    const WCHAR* sizeText = FormatThousands(size);
    if (!sizeText || FAILED(StringCchPrintfW(text, ARRAYSIZE(text), details, sizeText))) return;
    SetDlgItemTextW(dialog, control, text);
}

static void InitOverwritePrompt(HWND dialog, const OverwriteQuery* query) {
    ApplyDialogTheme(dialog);

    WCHAR name[MAX_PATH];
    WCHAR format[kTextChars];
    WCHAR text[kTextChars + MAX_PATH];  // the template's text around a whole file name
    SplitPath(query->path, nullptr, name);
    GetDlgItemTextW(dialog, IDC_REPLACE_TEXT, format, ARRAYSIZE(format));
    if (SUCCEEDED(StringCchPrintfW(text, ARRAYSIZE(text), format, name))) SetDlgItemTextW(dialog, IDC_REPLACE_TEXT, text);

    // The type's icon from the name alone: the file itself is not touched.
    SHFILEINFOW info = {};
    if (SHGetFileInfoW(query->path, 0, &info, sizeof(info), SHGFI_ICON | SHGFI_USEFILEATTRIBUTES) && info.hIcon) {
        SendDlgItemMessageW(dialog, IDC_EXISTING_ICON, STM_SETICON, (WPARAM)info.hIcon, 0);
        SendDlgItemMessageW(dialog, IDC_INCOMING_ICON, STM_SETICON, (WPARAM)info.hIcon, 0);
    }

    ShowFileDetails(dialog, IDC_EXISTING_DETAILS, query->existingStamp, query->existingSize);
    ShowFileDetails(dialog, IDC_INCOMING_DETAILS, query->incomingStamp, query->incomingSize);
}

// Worker thread, modal; the owner (the progress dialog) belongs to the GUI
// thread, which keeps pumping while this loop runs.
static INT_PTR CALLBACK OverwritePromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitOverwritePrompt(dialog, (const OverwriteQuery*)lParam);
        return TRUE;
    case WM_COMMAND:
        switch (wParam) {
        case IDCANCEL:
        case IDC_OVERWRITE_CANCEL:
            // Synchronous: the progress dialog is gone and the GUI thread's
            // loop has ended when the send returns.
            SendMessageW(ProgressOwner(), WM_CLOSE, 0, 0);
            EndDialog(dialog, -1);
            return TRUE;
        case IDYES:
        case IDNO:
            EndDialog(dialog, wParam);
            return TRUE;
        case IDC_YES_TO_ALL:
            EndDialog(dialog, YesToAllResult);
            return TRUE;
        case IDC_NEWER:
            G.NewerOnly = TRUE;
            EndDialog(dialog, IDYES);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY: {
        // One icon shown by both controls: destroyed once.
        HICON icon = (HICON)SendDlgItemMessageW(dialog, IDC_EXISTING_ICON, STM_GETICON, 0, 0);
        if (icon) DestroyIcon(icon);
        return FALSE;
    }
    }
    return FALSE;
}

INT_PTR ShowOverwritePrompt(const OverwriteQuery* query) {
    if (G.QuietRun) return IDYES;  // unattended: the dialog's default
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OVERWRITE), ProgressOwner(),
                                     OverwritePromptProc, (LPARAM)query);
    // 0 means the owner is gone (the progress dialog was closed from its
    // close box while the worker went on): no question was asked, and the
    // user has cancelled already.
    return result == 0 ? -1 : result;
}

// Weekday of a Gregorian date, 0 = Sunday; January and February count as
// months 13 and 14 of the year before.
static int Weekday(int year, int month, int day) {
    if (month <= 2) {
        month += 12;
        year -= 1;
    }
    return (year + year / 4 - year / 100 + year / 400 + (13 * month + 8) / 5 + day) % 7;
}

// First pass of the details text (string 19): the date and time of a DOS
// stamp, leaving "%s" for the size. Returns the characters written, 0 when
// nothing usable came out.
int FormatFileDetails(DWORD stamp, WCHAR* output, int capacity) {
    WCHAR format[kTextChars];
    if (!LoadStringW(GetModuleHandleW(nullptr), IDS_FILE_DETAILS, format, ARRAYSIZE(format))) return 0;

    WORD date = HIWORD(stamp);
    WORD time = LOWORD(stamp);
    int year = (date >> 9) + 1980;
    int month = (date >> 5) & 15;
    int day = date & 31;
    int hour = time >> 11;
    int minute = (time >> 5) & 63;
    int second = (time & 31) * 2;

    // The English text is the only one in month-first order.
    BOOL english = wcsstr(format, L"Byte") != nullptr;
    HRESULT result = english ? StringCchPrintfW(output, capacity, format, month, day, year, hour, minute, second)
                             : StringCchPrintfW(output, capacity, format, year, month, day, hour, minute, second);
    if (FAILED(result)) return 0;
    if (!english) {
        WCHAR* mark = wcschr(output, L'?');
        if (mark) *mark = JapaneseWeekdays[Weekday(year, month, day)];
    }
    return lstrlenW(output);
}

// Decimal with ',' every three digits, whatever the user's locale. The
// result lives in a static buffer until the next call (worker thread only).
const WCHAR* FormatThousands(ULONGLONG value) {
    static WCHAR grouped[65];
    WCHAR digits[21];  // 2^64 - 1 has 20
    // The C runtime's conversion: a 64-bit division of our own would link
    // the compiler's division helpers into the stub.
    _ui64tow(value, digits, 10);
    int n = lstrlenW(digits);
    int length = n + (n - 1) / 3;
    if (length >= (int)ARRAYSIZE(grouped)) return nullptr;

    WCHAR* out = grouped + length;
    *out = 0;
    for (int i = 0; i < n; i++) {  // from the last digit on
        if (i && i % 3 == 0) *--out = L',';
        *--out = digits[n - 1 - i];
    }
    return grouped;
}
