// The system picks the resources of the user interface language: every
// template comes up in it, and its fonts have a glyph for every character
// shown.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "resource.h"
#include "support/gui_driver.h"
#include "support/test_files.h"
#include "support/ui/dialog_harness.h"

namespace {

TEST(UserInterfaceLanguage, IsTheOneThisRunExpects) {
    if (JapaneseRun) {
        EXPECT_EQ(0x411, GetUserDefaultUILanguage());
        EXPECT_EQ(932u, GetACP());
    } else {
        EXPECT_EQ(0x409, GetUserDefaultUILanguage());
    }
    WCHAR text[128];
    ASSERT_GT(LoadStringW(GetModuleHandleW(nullptr), IDS_CANNOT_OPEN_ARCHIVE, text, ARRAYSIZE(text)), 0);
    EXPECT_STREQ(JapaneseRun ? L"書庫を開けません。" : L"Cannot open arhive.", text);
}

// Characters of text that font has no glyph for (the '&' of a mnemonic is
// not drawn).
std::wstring MissingGlyphs(HFONT font, const std::wstring& text) {
    std::wstring shown;
    for (WCHAR ch : text)
        if (ch != L'&' && ch != L'\n') shown += ch;
    if (shown.empty()) return L"";
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    std::vector<WORD> glyphs(shown.size());
    DWORD done = GetGlyphIndicesW(dc, shown.c_str(), (int)shown.size(), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    if (done == GDI_ERROR) return L"<GetGlyphIndicesW failed>";
    std::wstring missing;
    for (size_t i = 0; i < shown.size(); i++)
        if (glyphs[i] == 0xFFFF) missing += shown[i];
    return missing;
}

std::wstring FontFace(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    WCHAR face[LF_FACESIZE] = L"";
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return face;
}

struct Template {
    int id;
    const char* name;
    const wchar_t* englishTitle;
    const wchar_t* japaneseTitle;
    int textControl;  // a control whose text tells the language
    const wchar_t* englishText;
    const wchar_t* japaneseText;
};

const Template Templates[] = {
    {IDD_CRC_PROGRESS, "crc-progress", L"", L"", -1, L"CRC checking...", L"CRC をチェックしています..."},
    {IDD_DESTINATION, "destination", L"Confirm Extracting", L"展開先の指定", IDCANCEL, L"Cancel", L"キャンセル"},
    {IDD_OVERWRITE, "overwrite-template", L"Confirm File Replace", L"ファイル上書きの確認", IDC_NEWER, L"Newe&r",
     L"新しいもののみ(&U)"},
    {IDD_PROGRESS, "progress-template", L"Decompressing...", L"進捗状況", IDCANCEL, L"&Cancel", L"キャンセル"},
};

BOOL CALLBACK CollectChild(HWND child, LPARAM lParam) {
    ((std::vector<HWND>*)lParam)->push_back(child);
    return TRUE;
}

TEST(DialogTemplates, ComeUpInTheLanguageWithEveryGlyph) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
    HFONT captionFont = CreateFontIndirectW(&metrics.lfCaptionFont);

    for (const Template& entry : Templates) {
        SCOPED_TRACE(entry.name);
        HWND dialog =
            CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(entry.id), nullptr, PlainDialogProc, 0);
        ASSERT_TRUE(dialog != nullptr);
        ShowWindow(dialog, SW_SHOW);
        EXPECT_EQ(JapaneseRun ? entry.japaneseTitle : entry.englishTitle, WindowText(dialog));
        std::vector<HWND> children;
        EnumChildWindows(dialog, CollectChild, (LPARAM)&children);
        bool languageSeen = false;
        for (HWND child : children) {
            std::wstring text = WindowText(child);
            if (text == (JapaneseRun ? entry.japaneseText : entry.englishText)) languageSeen = true;
            if (ClassName(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
            HFONT font = (HFONT)SendMessageW(child, WM_GETFONT, 0, 0);
            ASSERT_TRUE(font != nullptr);
            EXPECT_EQ(L"", MissingGlyphs(font, text))
                << "control " << GetDlgCtrlID(child) << " in " << Narrow(FontFace(font));
        }
        EXPECT_TRUE(languageSeen);
        EXPECT_EQ(L"", MissingGlyphs(captionFont, WindowText(dialog))) << "caption font " << Narrow(FontFace(captionFont));
        RecordProperty(std::string(entry.name) + "-font",
                       Narrow(FontFace((HFONT)SendMessageW(dialog, WM_GETFONT, 0, 0))));
        RunWhilePumping([&] { EXPECT_TRUE(SaveScreenshot(ShotName(entry.name), dialog)); });
        DestroyWindow(dialog);
    }
    DeleteObject(captionFont);
}

}  // namespace
