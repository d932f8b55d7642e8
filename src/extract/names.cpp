#include "extract/names.h"

#include "base/messages.h"
#include "base/name_rules.h"
#include "base/paths.h"
#include "base/state.h"
#include "ui/progress_dialog.h"

int CountLeadingOnes(BYTE value) {
    int count = 0;
    for (BYTE mask = 0x80; mask && (value & mask); mask >>= 1) count++;
    return count;
}

// Fails only for a pattern typical of double-byte ANSI text that happens
// to look like a UTF-8 sequence. Never reads past the terminator.
BOOL Utf8LeadPlausible(const BYTE* lead) {
    BYTE b0 = lead[0];
    BYTE b1 = b0 ? lead[1] : 0;
    BYTE b2 = b1 ? lead[2] : 0;
    BYTE b3 = b2 ? lead[3] : 0;
    if (!IsDBCSLeadByte(b0)) return TRUE;
    if (!b2 || !b3) return TRUE;
    if (b0 == 0xE3 && (b1 == 0x81 || b1 == 0x82 || b1 == 0x83)) return TRUE;
    if (b2 != 0x82) return TRUE;
    if (IsDBCSLeadByte(b3)) return TRUE;
    return (b3 & 0x50) ? FALSE : TRUE;
}

BOOL LooksLikeUtf8(const char* stored) {
    if (!stored || !stored[0]) return FALSE;
    int pending = 0;
    int column = 1;
    int count = 0;
    BOOL doubleByte = FALSE;
    for (const BYTE* p = (const BYTE*)stored; *p; p++) {
        int ones = CountLeadingOnes(*p);
        if (pending > 0) {
            if (ones != 1) return FALSE;
            if (--pending == 0) column++;
        } else if (ones == 0) {
            column = (*p == '\n') ? 1 : column + 1;
        } else if (ones == 1) {
            return FALSE;
        } else {
            pending = ones - 1;
            // The first sequence, with nothing multi-byte before it.
            if (count + 1 == column) {
                if (!Utf8LeadPlausible(p)) return FALSE;
                doubleByte = !IsDBCSLeadByte(*p);
            }
        }
        count++;
    }
    if (pending > 0) return FALSE;
    if (count > column) return TRUE;
    return count == column && doubleByte;
}

const WCHAR* AnsiToWide(const char* stored) {
    ZeroMemory(G.WideName, sizeof(G.WideName));
    MultiByteToWideChar(CP_ACP, 0, stored, -1, G.WideName, kWideNameChars - 1);
    return G.WideName;
}

BOOL DecodeStoredName(const char* stored, WCHAR* name) {
    name[0] = 0;
    if (LooksLikeUtf8(stored)) return MultiByteToWideChar(CP_UTF8, 0, stored, -1, name, MAX_PATH) != 0;
    const WCHAR* wide = AnsiToWide(stored);
    if (lstrlenW(wide) >= MAX_PATH) return FALSE;
    lstrcpynW(name, wide, MAX_PATH);
    return TRUE;
}

BOOL EscapeDeviceName(const WCHAR* component) { return IsDeviceComponent(component) ? TRUE : FALSE; }

// Removes the dots and blanks that end each component, keeping the rest
// of the name: a.\b gives a\b, and a component of dots alone disappears.
static void RemoveComponentTrailers(WCHAR* name) {
    int out = 0;
    int componentStart = 0;
    for (int in = 0;; in++) {
        WCHAR c = name[in];
        if (c == L'\\' || c == 0) {
            while (out > componentStart && IsDroppedTrailer(name[out - 1])) out--;
            name[out++] = c;
            if (c == 0) return;
            componentStart = out;
            continue;
        }
        name[out++] = c;
    }
}

static void ShowInvalidFileName(void) {
    G.AbortCode = -1;
    ShowBox(ProgressOwner(), L"Invalid file-name.", kCaption, MB_ICONERROR, ERROR_FILE_CORRUPT);
}

int CleanStoredName(WCHAR* name) {
    if (!name || !name[0]) return 0;
    SlashesToBackslashes(name);
    if (lstrlenW(name) >= kCleanNameLimit) {
        G.AbortCode = -1;
        ShowSystemError((DWORD)CO_E_PATHTOOLONG);
        return 0;
    }
    RemoveComponentTrailers(name);

    const WCHAR* source = name;
    while (*source == L'\\' || IsDroppedLeader(*source)) source++;
    if (!*source) {
        if (source == name) {
            ShowInvalidFileName();
            return 0;
        }
        name[0] = 0;
        return 1;
    }

    // Every step keeps or shortens the name, so the result fits its buffer.
    WCHAR result[kCleanNameLimit];
    int out = 0;
    BOOL componentStart = TRUE;
    while (*source) {
        WCHAR c = *source++;
        if (c == L'\\') {
            result[out++] = L'\\';
            while (*source == L'\\' || IsDroppedLeader(*source)) source++;
            componentStart = TRUE;
            continue;
        }
        if (componentStart && EscapeDeviceName(source - 1))
            c = L'_';
        else if (IsRefusedNameCharacter(c))
            c = L'_';
        componentStart = FALSE;
        result[out++] = c;
    }
    result[out] = 0;
    lstrcpynW(name, result, out + 1);
    return 1;
}

const WCHAR* ShowSystemError(DWORD code) {
    G.SystemErrorText[0] = 0;
    if (code == 0) return G.SystemErrorText;

    WCHAR* systemText = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        LANG_USER_DEFAULT, (LPWSTR)&systemText, 0, nullptr);
    if (length && systemText)
        lstrcpynW(G.SystemErrorText, systemText, ARRAYSIZE(G.SystemErrorText));
    else
        wsprintfW(G.SystemErrorText, L"Unknown error %ld", (long)code);
    if (systemText) LocalFree(systemText);

    // Under /Q the one error shown here, a name too long, ends the run with
    // the matching code.
    if (G.SystemErrorText[0])
        ShowBox(ProgressOwner(), G.SystemErrorText, kCaption, MB_ICONERROR,
                code == (DWORD)CO_E_PATHTOOLONG ? ERROR_FILENAME_EXCED_RANGE : code);
    return G.SystemErrorText;
}
