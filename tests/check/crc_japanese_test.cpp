// The mismatch message in Japanese names the archive.
#include <gtest/gtest.h>
#include <windows.h>

#include "check/package_crc.h"
#include "support/answer_box.h"
#include "support/test_files.h"

TEST(CheckPackageCrcJapanese, TheMismatchMessageNamesTheArchive) {
    TempFolder temp;
    std::wstring path = temp / L"配布 package.exe";
    WriteBytes(path, std::string("covered bytes"));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD result = 1;
    AnsweredBox box = AnswerBoxDuring(L"Warning",
        [&] { result = CheckPackageCrc(file, GetModuleHandleW(nullptr), 0x12345678u, 13 + 996, 0, path.c_str()); });
    CloseHandle(file);

    EXPECT_EQ(0u, result);
    EXPECT_EQ(L"CRC チェックエラー\n\n'" + path +
                  L"'\nはファイルが改竄されたか、ファイルが破損しています。\n"
                  L"配布ファイルの場合にはファイルの入手元から再入手してください。",
              box.text);
}
