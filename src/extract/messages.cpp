#include "messages.h"

#include <strsafe.h>

#include "app/state.h"

const WCHAR kProgramCaption[] = L"VUV-UZU";

int ShowStringBox(HWND owner, UINT stringId, UINT style, const WCHAR* insert) {
    WCHAR format[kLongTextChars];
    if (!LoadStringW(GetModuleHandleW(nullptr), stringId, format, ARRAYSIZE(format))) format[0] = 0;

    // Room for the longest string and a full path; a longer result is cut
    // (StringCchPrintfW always terminates).
    WCHAR text[kLongTextChars + MAX_PATH];
    if (insert)
        StringCchPrintfW(text, ARRAYSIZE(text), format, insert);
    else
        StringCchCopyW(text, ARRAYSIZE(text), format);
    return MessageBoxW(owner, text, kProgramCaption, style);
}
