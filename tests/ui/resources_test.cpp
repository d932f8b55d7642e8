// The resources read by explicit language, whatever the user interface: the
// string table, every dialog template control by control, the icons, the
// manifest and the version.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource.h"
#include "support/test_files.h"

namespace {

const LANGID English = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LANGID Japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
const LANGID Neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

// The bytes of one resource in one language; empty when it is missing.
std::vector<BYTE> ResourceBytes(LPCWSTR type, LPCWSTR name, LANGID language) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(module, type, name, language);
    if (!found) return {};
    const BYTE* data = (const BYTE*)LockResource(LoadResource(module, found));
    return std::vector<BYTE>(data, data + SizeofResource(module, found));
}

// LoadStringW takes no language: read the block of 16 strings directly.
bool StringInLanguage(UINT id, LANGID language, std::wstring* text) {
    std::vector<BYTE> block = ResourceBytes(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    const WCHAR* entry = (const WCHAR*)block.data();
    const WCHAR* end = (const WCHAR*)(block.data() + block.size());
    for (UINT i = 0; i < id % 16; i++) {
        if (entry >= end) return false;
        entry += 1 + entry[0];
    }
    if (entry >= end || !entry[0] || entry + 1 + entry[0] > end) return false;
    text->assign(entry + 1, entry[0]);
    return true;
}

struct StringRow {
    UINT id;
    const wchar_t* english;
    const wchar_t* japanese;
};

const StringRow Strings[] = {
    {11, L"Cannot create a file.", L"展開先にファイルを作成できません。"},
    {12, L"Cannot open arhive.", L"書庫を開けません。"},
    {13, L"not supported archive format.", L"対応していない書庫形式です。"},
    {14, L"The Folder '%s' does not exist.\nDo you want to create it?",
     L"'%s'\n\n展開先フォルダは存在しません。\nフォルダを作成しますか？"},
    {15, L"Cannot create a folder.", L"フォルダを作成できません。"},
    {16, L"%s\n\ninvalid filename.(skipped)", L"%s\n\n不正なファイル名の展開をスキップします。"},
    {17, L"Cannot create a folder.\nThis archive forbids writing.", L"展開先フォルダを作成できません。"},
    {18, L"CRC check error!",
     L"CRC チェックエラー\n\n'%s'\nはファイルが改竄されたか、ファイルが破損しています。\n"
     L"配布ファイルの場合にはファイルの入手元から再入手してください。"},
    {19, L"%%s Bytes\nModified: %02d, %02d, %04d,  %02d:%02d:%02d",
     L"%%s バイト\n%04d年%02d月%02d日 ?曜日、%02d:%02d:%02d"},
    {20, L"Invalid path!", L"格納パス情報がおかしいです。"},
    {21, L"Please select a folder to store the extracted files.", L"解凍先のフォルダを指定してください。"},
    {22, L"This sfx-module cannot be run in Win32.", L"このセットアップモジュールは Windows 64ビット用です。"},
    {23, L"This sfx-module cannot be run in Windows 9x.",
     L"このセットアップモジュールは Windows 9x 環境では動作しません。"},
    {24, L"The archive is damaged or could not be extracted completely.",
     L"書庫が壊れているか、展開を完了できませんでした。"},
};

TEST(StringTable, EveryStringInBothLanguages) {
    for (const StringRow& row : Strings) {
        SCOPED_TRACE(row.id);
        std::wstring text;
        ASSERT_TRUE(StringInLanguage(row.id, English, &text));
        EXPECT_EQ(row.english, text);
        ASSERT_TRUE(StringInLanguage(row.id, Japanese, &text));
        EXPECT_EQ(row.japanese, text);
    }
}

TEST(StringTable, TextsFitTheirBuffers) {
    // Strings 16 and 18 go into 256 characters, all others into 128, with
    // room for the terminator.
    for (const StringRow& row : Strings) {
        SCOPED_TRACE(row.id);
        size_t capacity = (row.id == 16 || row.id == 18) ? 256 : 128;
        EXPECT_LT(wcslen(row.english), capacity);
        EXPECT_LT(wcslen(row.japanese), capacity);
    }
}

// ---- Dialog templates ------------------------------------------------------

struct Control {
    int id;
    std::wstring className;
    std::wstring text;  // "#n" for an ordinal (an icon resource)
    short x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
};

struct Dialog {
    bool extended;
    DWORD style;
    DWORD exStyle;
    short cx, cy;
    std::wstring menu, className, title, font;
    WORD pointSize;
    std::vector<Control> controls;
};

class TemplateReader {
public:
    explicit TemplateReader(const std::vector<BYTE>& bytes) : bytes_(bytes) {}
    bool failed() const { return failed_; }

    template <typename T>
    T Read() {
        T value = T();
        if (offset_ + sizeof(T) > bytes_.size()) {
            failed_ = true;
            return value;
        }
        memcpy(&value, bytes_.data() + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }

    std::wstring ReadString() {
        std::wstring text;
        for (WCHAR ch = Read<WCHAR>(); ch && !failed_; ch = Read<WCHAR>()) text += ch;
        return text;
    }

    // A string or, after 0xFFFF, an ordinal written as "#n".
    std::wstring ReadNameOrOrdinal() {
        WORD first = Read<WORD>();
        if (first == 0xFFFF) return L"#" + std::to_wstring(Read<WORD>());
        if (first == 0) return std::wstring();
        return std::wstring(1, (WCHAR)first) + ReadString();
    }

    void AlignToDword() { offset_ = (offset_ + 3) & ~size_t(3); }
    void Skip(size_t count) { offset_ += count; }

private:
    const std::vector<BYTE>& bytes_;
    size_t offset_ = 0;
    bool failed_ = false;
};

// Predefined classes that templates store as ordinals.
std::wstring ClassFromOrdinal(const std::wstring& name) {
    if (name == L"#128") return L"BUTTON";
    if (name == L"#129") return L"EDIT";
    if (name == L"#130") return L"STATIC";
    return name;
}

bool ParseDialog(const std::vector<BYTE>& bytes, Dialog* dialog) {
    TemplateReader reader(bytes);
    WORD version = reader.Read<WORD>();
    WORD signature = reader.Read<WORD>();
    dialog->extended = version == 1 && signature == 0xFFFF;
    WORD count;
    if (dialog->extended) {
        reader.Read<DWORD>();  // help id
        dialog->exStyle = reader.Read<DWORD>();
        dialog->style = reader.Read<DWORD>();
    } else {
        dialog->style = MAKELONG(version, signature);
        dialog->exStyle = reader.Read<DWORD>();
    }
    count = reader.Read<WORD>();
    reader.Read<short>();
    reader.Read<short>();
    dialog->cx = reader.Read<short>();
    dialog->cy = reader.Read<short>();
    dialog->menu = reader.ReadNameOrOrdinal();
    dialog->className = reader.ReadNameOrOrdinal();
    dialog->title = reader.ReadString();
    if (dialog->style & DS_SETFONT) {
        dialog->pointSize = reader.Read<WORD>();
        if (dialog->extended) reader.Skip(4);  // weight, italic, character set
        dialog->font = reader.ReadString();
    }
    for (WORD i = 0; i < count && !reader.failed(); i++) {
        Control control;
        reader.AlignToDword();
        if (dialog->extended) {
            reader.Read<DWORD>();  // help id
            control.exStyle = reader.Read<DWORD>();
            control.style = reader.Read<DWORD>();
        } else {
            control.style = reader.Read<DWORD>();
            control.exStyle = reader.Read<DWORD>();
        }
        control.x = reader.Read<short>();
        control.y = reader.Read<short>();
        control.cx = reader.Read<short>();
        control.cy = reader.Read<short>();
        control.id = dialog->extended ? (int)reader.Read<DWORD>() : (short)reader.Read<WORD>();
        control.className = ClassFromOrdinal(reader.ReadNameOrOrdinal());
        control.text = reader.ReadNameOrOrdinal();
        reader.Skip(reader.Read<WORD>());  // creation data
        dialog->controls.push_back(control);
    }
    return !reader.failed();
}

const DWORD Base = WS_POPUP | DS_SETFONT | DS_MODALFRAME | DS_CENTER;
const DWORD Captioned = Base | WS_CAPTION | WS_SYSMENU | DS_SETFOREGROUND;
const DWORD Text = WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP;
const DWORD Icon = WS_CHILD | WS_VISIBLE | SS_ICON;
const DWORD Push = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP;
const DWORD DefaultPush = WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP;
const DWORD Check = WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP;
const DWORD Edit = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
const DWORD Bar = WS_CHILD | WS_VISIBLE;

struct ExpectedControl {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    short x, y, cx, cy;
    DWORD style;
};

struct ExpectedDialog {
    const char* name;
    int id;
    LANGID language;
    bool extended;
    const wchar_t* title;
    short cx, cy;
    DWORD style;
    std::vector<ExpectedControl> controls;
};

const wchar_t* const EnglishFont = L"MS Shell DLG";
const wchar_t* const JapaneseFont = L"ＭＳ Ｐゴシック";

const ExpectedDialog Dialogs[] = {
    {"crc progress, English", IDD_CRC_PROGRESS, English, false, L"", 157, 39, Base,
     {{-1, L"STATIC", L"CRC checking...", 7, 7, 79, 8, Text},
      {1004, L"msctls_progress32", L"Progress1", 7, 24, 143, 8, Bar}}},
    {"crc progress, Japanese", IDD_CRC_PROGRESS, Japanese, false, L"", 157, 39, Base,
     {{-1, L"STATIC", L"CRC をチェックしています...", 7, 7, 79, 8, Text},
      {1004, L"msctls_progress32", L"Progress1", 7, 24, 143, 8, Bar}}},
    {"destination, English", IDD_DESTINATION, English, true, L"Confirm Extracting", 277, 87,
     Captioned | WS_MINIMIZEBOX,
     {{1010, L"STATIC", L"#200", 13, 11, 18, 18, Icon},
      {-1, L"STATIC", L"Please type the location where you want to place the extracted files.", 41, 14, 229, 13,
       Text},
      {1001, L"EDIT", L"", 7, 33, 208, 14, Edit},
      {1000, L"BUTTON", L"&Browse...", 220, 32, 50, 14, Push},
      {1012, L"BUTTON", L"&Create folder as the archive name to extract", 14, 52, 161, 10, Check},
      {1, L"BUTTON", L"&OK", 165, 66, 50, 14, DefaultPush},
      {2, L"BUTTON", L"Cancel", 220, 66, 50, 14, Push}}},
    {"destination, Japanese", IDD_DESTINATION, Japanese, true, L"展開先の指定", 267, 87, Captioned | WS_MINIMIZEBOX,
     {{1010, L"STATIC", L"#200", 13, 10, 18, 21, Icon},
      {-1, L"STATIC", L"展開先のフォルダを指定してください(&F):", 41, 15, 215, 13, Text},
      {1001, L"EDIT", L"", 7, 37, 198, 14, Edit},
      {1000, L"BUTTON", L"参照(&B)...", 209, 36, 50, 14, Push},
      {1012, L"BUTTON", L"書庫名でフォルダを作成(&K)", 15, 58, 117, 10, Check},
      {1, L"BUTTON", L"OK", 155, 66, 50, 14, DefaultPush},
      {2, L"BUTTON", L"キャンセル", 209, 66, 50, 14, Push}}},
    // The English icon names the replace icon: the resources hold no icon 104.
    {"overwrite, English", IDD_OVERWRITE, English, false, L"Confirm File Replace", 283, 151, Captioned,
     {{121, L"STATIC", L"#205", 7, 13, 20, 20, Icon},
      {1009, L"STATIC", L"'%s'", 50, 12, 226, 20, Text},
      {-1, L"STATIC", L"Would you like to replace the existing file", 38, 36, 147, 8, Text},
      {1010, L"STATIC", L"", 48, 51, 20, 20, Icon},
      {1005, L"STATIC", L"", 93, 52, 183, 17, Text},
      {-1, L"STATIC", L"with this one?", 38, 78, 120, 8, Text},
      {1011, L"STATIC", L"", 48, 93, 20, 20, Icon},
      {1008, L"STATIC", L"", 93, 93, 183, 17, Text},
      {6, L"BUTTON", L"&Yes", 7, 125, 49, 14, DefaultPush},
      {7, L"BUTTON", L"&No", 62, 125, 49, 14, Push},
      {1003, L"BUTTON", L"Yes to &All", 117, 125, 49, 14, Push},
      {1004, L"BUTTON", L"Newe&r", 172, 125, 49, 14, Push},
      {1007, L"BUTTON", L"&Cancel", 227, 125, 49, 14, Push}}},
    {"overwrite, Japanese", IDD_OVERWRITE, Japanese, true, L"ファイル上書きの確認", 283, 151, Captioned,
     {{-1, L"STATIC", L"#205", 7, 13, 20, 20, Icon},
      {1009, L"STATIC", L"展開先には既に '%s' のファイルが存在します。", 50, 12, 226, 20, Text},
      {-1, L"STATIC", L"現在のファイル", 38, 36, 228, 8, Text},
      {1010, L"STATIC", L"", 48, 51, 20, 20, Icon},
      {1005, L"STATIC", L"", 93, 52, 183, 17, Text},
      {-1, L"STATIC", L"に新しい次のファイルを上書きしますか？", 38, 78, 120, 8, Text},
      {1011, L"STATIC", L"", 48, 93, 20, 20, Icon},
      {1008, L"STATIC", L"", 93, 93, 183, 17, Text},
      {6, L"BUTTON", L"はい(&Y)", 7, 125, 49, 14, DefaultPush},
      {7, L"BUTTON", L"いいえ(&N)", 58, 125, 49, 14, Push},
      {1003, L"BUTTON", L"全て上書き(&A)", 109, 125, 49, 14, Push},
      {1004, L"BUTTON", L"新しいもののみ(&U)", 160, 125, 64, 14, Push},
      {1007, L"BUTTON", L"キャンセル(&C)", 227, 125, 49, 14, Push}}},
    {"progress, English", IDD_PROGRESS, English, false, L"Decompressing...", 251, 90, Captioned,
     {{-1, L"STATIC", L"Please wait...", 7, 55, 50, 8, Text},
      {1004, L"msctls_progress32", L"Progress1", 7, 69, 179, 8, Bar},
      {2, L"BUTTON", L"&Cancel", 194, 69, 50, 14, Push},
      {1006, L"STATIC", L"", 61, 55, 183, 8, Text}}},
    {"progress, Japanese", IDD_PROGRESS, Japanese, false, L"進捗状況", 251, 90, Captioned,
     {{-1, L"STATIC", L"展開中...", 7, 55, 32, 8, Text},
      {1004, L"msctls_progress32", L"Progress1", 7, 69, 179, 8, Bar},
      {2, L"BUTTON", L"キャンセル", 194, 69, 50, 14, Push},
      {1006, L"STATIC", L"", 41, 55, 203, 8, Text}}},
};

TEST(DialogTemplates, EveryTemplateInBothLanguages) {
    for (const ExpectedDialog& expected : Dialogs) {
        SCOPED_TRACE(expected.name);
        Dialog dialog = {};
        ASSERT_TRUE(ParseDialog(ResourceBytes(RT_DIALOG, MAKEINTRESOURCEW(expected.id), expected.language), &dialog));
        EXPECT_EQ(expected.extended, dialog.extended);
        EXPECT_EQ(expected.style, dialog.style);
        EXPECT_EQ(0u, dialog.exStyle);
        EXPECT_EQ(expected.cx, dialog.cx);
        EXPECT_EQ(expected.cy, dialog.cy);
        EXPECT_EQ(L"", dialog.menu);
        EXPECT_EQ(L"", dialog.className);
        EXPECT_EQ(expected.title, dialog.title);
        EXPECT_EQ(expected.language == English ? EnglishFont : JapaneseFont, dialog.font);
        EXPECT_EQ(9, dialog.pointSize);
        ASSERT_EQ(expected.controls.size(), dialog.controls.size());
        for (size_t i = 0; i < dialog.controls.size(); i++) {
            const ExpectedControl& want = expected.controls[i];
            const Control& got = dialog.controls[i];
            SCOPED_TRACE(testing::Message() << "control " << i << ", id " << want.id);
            EXPECT_EQ(want.id, got.id);
            EXPECT_EQ(0, _wcsicmp(want.className, got.className.c_str())) << Narrow(got.className);
            EXPECT_EQ(want.text, got.text);
            EXPECT_EQ(want.x, got.x);
            EXPECT_EQ(want.y, got.y);
            EXPECT_EQ(want.cx, got.cx);
            EXPECT_EQ(want.cy, got.cy);
            EXPECT_EQ(want.style, got.style) << std::hex << got.style;
            EXPECT_EQ(0u, got.exStyle);
        }
    }
}

// ---- Icons, manifest, version ----------------------------------------------

#pragma pack(push, 2)
struct IconGroupHeader {
    WORD reserved, type, count;
};
struct IconGroupEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(Icons, OneImageOf32By32PerGroup) {
    struct Row {
        int group;
        BYTE colourCount;  // 0 means 256 in an icon directory
        WORD bitCount;
    } rows[] = {{IDI_PROGRAM, 0, 8}, {IDI_REPLACE, 16, 4}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.group);
        std::vector<BYTE> group = ResourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEW(row.group), Neutral);
        ASSERT_EQ(sizeof(IconGroupHeader) + sizeof(IconGroupEntry), group.size());
        const IconGroupHeader* header = (const IconGroupHeader*)group.data();
        const IconGroupEntry* entry = (const IconGroupEntry*)(header + 1);
        EXPECT_EQ(1, header->type);
        EXPECT_EQ(1, header->count);
        EXPECT_EQ(32, entry->width);
        EXPECT_EQ(32, entry->height);
        EXPECT_EQ(row.colourCount, entry->colourCount);
        EXPECT_EQ(row.bitCount, entry->bitCount);

        std::vector<BYTE> image = ResourceBytes(RT_ICON, MAKEINTRESOURCEW(entry->id), Neutral);
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(row.bitCount, ((const BITMAPINFOHEADER*)image.data())->biBitCount);

        HICON icon = (HICON)LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(row.group), IMAGE_ICON, 32, 32, 0);
        ASSERT_TRUE(icon != nullptr);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap = {};
        GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
        EXPECT_EQ(32, bitmap.bmWidth);
        EXPECT_EQ(32, bitmap.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST(Manifest, DeclaresWhatTheProgramNeeds) {
    std::vector<BYTE> bytes = ResourceBytes(RT_MANIFEST, MAKEINTRESOURCEW(1), Neutral);
    std::string manifest(bytes.begin(), bytes.end());
    const char* needed[] = {
        "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"", "processorArchitecture=\"*\"",
        "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\"", "level=\"asInvoker\"", "uiAccess=\"false\"",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10
        ">true</dpiAware>"};
    for (const char* text : needed) EXPECT_NE(std::string::npos, manifest.find(text)) << text;
}

TEST(Manifest, SelectsCommonControls6) {
    // The manifest's activation context decides which library this is.
    // Wine's version 6 reports 5.81 from DllGetVersion, so the side-by-side
    // folder it comes from tells the version.
    HMODULE controls = LoadLibraryW(L"comctl32.dll");
    ASSERT_TRUE(controls != nullptr);
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(GetModuleFileNameW(controls, path, MAX_PATH));
    CharLowerW(path);
    EXPECT_NE(std::wstring::npos, std::wstring(path).find(L"common-controls_6595b64144ccf1df_6.0.")) << Narrow(path);
}

TEST(Version, FixedAndTextFields) {
    WCHAR self[MAX_PATH];
    ASSERT_TRUE(GetModuleFileNameW(nullptr, self, MAX_PATH));
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(self, &handle);
    ASSERT_NE(0u, size);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(self, 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", (void**)&fixed, &length));
    EXPECT_EQ(MAKELONG(20, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(0, 8), fixed->dwProductVersionMS);
    EXPECT_EQ(MAKELONG(0, 2), fixed->dwProductVersionLS);
    EXPECT_EQ((DWORD)VOS_NT_WINDOWS32, fixed->dwFileOS);
    EXPECT_EQ((DWORD)VFT_APP, fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileFlags);

    WCHAR* productVersion = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", (void**)&productVersion,
                               &length));
    EXPECT_STREQ(L"8.02", productVersion);
}

}  // namespace
