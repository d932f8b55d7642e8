#include "messages.h"

#include "state.h"

const WCHAR kCaption[] = L"VUV-UZU";

void LoadText(UINT id, WCHAR* text, int capacity) {
    text[0] = 0;
    if (LoadStringW(GetModuleHandleW(nullptr), id, text, capacity) <= 0) text[0] = 0;
}

int ShowStringBox(HWND owner, UINT id, UINT style) {
    WCHAR text[kTextChars];
    LoadText(id, text, kTextChars);
    return MessageBoxW(owner, text, kCaption, style);
}

int ShowFormattedBox(HWND owner, UINT id, const WCHAR* argument, const WCHAR* caption, UINT style) {
    WCHAR format[kLongTextChars];
    WCHAR text[kLongTextChars + MAX_PATH];
    LoadText(id, format, kLongTextChars);
    // wsprintfW writes at most 1024 characters; the buffer holds the longest
    // format plus a full path, and the argument is cut to a path's length.
    WCHAR cut[MAX_PATH];
    lstrcpynW(cut, argument, MAX_PATH);
    wsprintfW(text, format, cut);
    return MessageBoxW(owner, text, caption, style);
}
