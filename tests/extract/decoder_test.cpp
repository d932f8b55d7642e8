// The cabinet library's file callbacks, called directly on real files.
#include <gtest/gtest.h>

#include <io.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "base/state.h"
#include "extract/decoder.h"
#include "support/test_files.h"

namespace {

// 2000 bytes whose value at position i is i mod 251, so a byte read tells
// where the descriptor stood.
std::string PatternFile() {
    std::string bytes(2000, 0);
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = (char)(i % 251);
    return bytes;
}

int ByteAt(INT_PTR descriptor) {
    unsigned char byte = 0;
    if (DecoderRead(descriptor, &byte, 1) != 1) return -1;
    return byte;
}

class Decoder : public ::testing::Test {
protected:
    void SetUp() override {
        archive = temp / L"archive.bin";
        WriteBytes(archive, PatternFile());
        lstrcpyW(G.ArchivePathBuffer, archive.c_str());
        G.ArchivePath = G.ArchivePathBuffer;
        G.RedirectOpenToArchive = TRUE;
        G.CabinetOffset = 1000;
    }
    INT_PTR OpenArchive() { return DecoderOpen((char*)"ignored.cab", 0x8000, 0x180); }

    TempFolder temp;
    std::wstring archive;
};

TEST_F(Decoder, ArchiveOpensWhateverTheLibraryNames) {
    INT_PTR descriptor = OpenArchive();
    ASSERT_NE(-1, descriptor);
    EXPECT_EQ(1000 % 251, ByteAt(descriptor));
    DecoderClose(descriptor);
}

TEST_F(Decoder, SeeksAreRelativeToTheCabinet) {
    INT_PTR descriptor = OpenArchive();
    ASSERT_EQ(descriptor, G.ArchiveHandles[0]);
    EXPECT_EQ(0, DecoderSeek(descriptor, 0, SEEK_SET));
    EXPECT_EQ(1000, _telli64((int)descriptor));
    EXPECT_EQ(16, DecoderSeek(descriptor, 16, SEEK_CUR));
    EXPECT_EQ(1016, _telli64((int)descriptor));
    EXPECT_EQ(1016 % 251, ByteAt(descriptor));
    EXPECT_EQ(1000, DecoderSeek(descriptor, 0, SEEK_END));
    EXPECT_EQ(990, DecoderSeek(descriptor, -10, SEEK_CUR));
    DecoderClose(descriptor);
}

TEST_F(Decoder, SeekInFrontOfTheCabinetFails) {
    INT_PTR descriptor = OpenArchive();
    EXPECT_EQ(-1, DecoderSeek(descriptor, -10, SEEK_SET));
    EXPECT_EQ(-1, DecoderSeek(descriptor, -1500, SEEK_END));
    DecoderClose(descriptor);
}

TEST_F(Decoder, ThirdArchiveDescriptorIsPositionedButNotTranslated) {
    INT_PTR first = OpenArchive(), second = OpenArchive(), third = OpenArchive();
    EXPECT_EQ(first, G.ArchiveHandles[0]);
    EXPECT_EQ(second, G.ArchiveHandles[1]);
    EXPECT_EQ(1000 % 251, ByteAt(third));
    EXPECT_EQ(0, DecoderSeek(third, 0, SEEK_SET));
    EXPECT_EQ(0, ByteAt(third));
    DecoderClose(third);
    EXPECT_EQ(first, G.ArchiveHandles[0]);
    EXPECT_EQ(second, G.ArchiveHandles[1]);

    DecoderClose(first);
    EXPECT_EQ(-1, G.ArchiveHandles[0]);
    INT_PTR again = OpenArchive();
    EXPECT_EQ(again, G.ArchiveHandles[0]);
    DecoderClose(second);
    DecoderClose(again);
    EXPECT_EQ(-1, G.ArchiveHandles[0]);
    EXPECT_EQ(-1, G.ArchiveHandles[1]);
}

TEST_F(Decoder, PlainCabinetIsNeverTranslated) {
    G.CabinetOffset = 0;
    INT_PTR descriptor = OpenArchive();
    EXPECT_EQ(-1, G.ArchiveHandles[0]);
    EXPECT_EQ(0, ByteAt(descriptor));
    EXPECT_EQ(300, DecoderSeek(descriptor, 300, SEEK_SET));
    EXPECT_EQ(300 % 251, ByteAt(descriptor));
    DecoderClose(descriptor);
}

TEST_F(Decoder, OutputFileIsNeverTranslated) {
    std::wstring output = temp / L"out.bin";
    G.RedirectOpenToArchive = FALSE;
    INT_PTR descriptor = DecoderOpen((char*)output.c_str(), 0x8321, 0x180);
    ASSERT_NE(-1, descriptor);
    EXPECT_EQ(-1, G.ArchiveHandles[0]);
    EXPECT_EQ(0, _telli64((int)descriptor));
    char data[] = "0123456789";
    EXPECT_EQ(10u, DecoderWrite(descriptor, data, 10));
    EXPECT_EQ(4, DecoderSeek(descriptor, 4, SEEK_SET));
    EXPECT_EQ(0, DecoderClose(descriptor));
    EXPECT_EQ(std::string("0123456789"), std::string((const char*)ReadBytes(output).data(), 10));
}

TEST_F(Decoder, OutputOpenEmptiesAnExistingFile) {
    std::wstring output = temp / L"out.bin";
    WriteBytes(output, std::string(100, 'x'));
    G.RedirectOpenToArchive = FALSE;
    INT_PTR descriptor = DecoderOpen((char*)output.c_str(), 0x8321, 0x180);
    ASSERT_NE(-1, descriptor);
    DecoderClose(descriptor);
    EXPECT_TRUE(ReadBytes(output).empty());
}

TEST_F(Decoder, FailedOpenGivesMinusOne) {
    G.RedirectOpenToArchive = FALSE;
    std::wstring missing = temp / L"no\\such\\folder\\file";
    EXPECT_EQ(-1, DecoderOpen((char*)missing.c_str(), 0x8321, 0x180));
    G.RedirectOpenToArchive = TRUE;
    DeleteFileW(archive.c_str());
    EXPECT_EQ(-1, OpenArchive());
}

TEST_F(Decoder, ReadsAndWritesAreRefusedAfterACancel) {
    INT_PTR input = OpenArchive();
    std::wstring output = temp / L"out.bin";
    G.RedirectOpenToArchive = FALSE;
    INT_PTR descriptor = DecoderOpen((char*)output.c_str(), 0x8321, 0x180);

    G.AbortCode = 100;
    char buffer[8] = "unread";
    EXPECT_EQ((UINT)-1, DecoderRead(input, buffer, 4));
    EXPECT_STREQ("unread", buffer);
    EXPECT_EQ(1000, _telli64((int)input));
    EXPECT_EQ((UINT)-1, DecoderWrite(descriptor, buffer, 4));
    EXPECT_EQ(0, _telli64((int)descriptor));

    // Open, seek and close still work: the library must be able to clean up.
    EXPECT_EQ(8, DecoderSeek(input, 8, SEEK_SET));
    EXPECT_EQ(0, DecoderClose(input));
    EXPECT_EQ(0, DecoderClose(descriptor));
    EXPECT_TRUE(ReadBytes(output).empty());
}

// A window on this thread that records every progress message.
std::vector<LPARAM> progressPositions;
DWORD fakeNow = 0;

LRESULT CALLBACK RecordProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ProgressMessage) {
        EXPECT_EQ(0u, wParam);
        progressPositions.push_back(lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI FakeClock(void) { return fakeNow; }

class DecoderProgress : public Decoder {
protected:
    void SetUp() override {
        Decoder::SetUp();
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = RecordProgress;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VuvProgressProbe";
        RegisterClassW(&windowClass);
        G.ProgressWindow = CreateWindowW(L"VuvProgressProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(G.ProgressWindow);
        G.ReadClock = FakeClock;
        G.CabinetOffset = 0;
    }
    void TearDown() override { DestroyWindow(G.ProgressWindow); }
};

TEST_F(DecoderProgress, PositionIsWholeKibibytesRead) {
    INT_PTR descriptor = OpenArchive();
    std::vector<char> buffer(2048);
    EXPECT_EQ(2000u, DecoderRead(descriptor, buffer.data(), 2047));
    fakeNow += 25;
    DecoderSeek(descriptor, 0, SEEK_SET);
    EXPECT_EQ(47u, DecoderRead(descriptor, buffer.data(), 47));
    fakeNow += 25;
    EXPECT_EQ(1u, DecoderRead(descriptor, buffer.data(), 1));
    EXPECT_EQ(2048u, G.BytesReadTotal);
    EXPECT_EQ((std::vector<LPARAM>{1, 1, 2}), progressPositions);
    DecoderClose(descriptor);
}

TEST_F(DecoderProgress, AtMostOneMessagePerInterval) {
    INT_PTR descriptor = OpenArchive();
    char buffer[1024];
    fakeNow = 0xFFFFFFF0;  // the clock wraps around in between
    DecoderRead(descriptor, buffer, 1024);  // the first read always reports
    fakeNow += 10;
    DecoderRead(descriptor, buffer, 500);
    fakeNow += 14;
    DecoderRead(descriptor, buffer, 476);
    EXPECT_EQ((std::vector<LPARAM>{1}), progressPositions);
    fakeNow += 1;
    DecoderRead(descriptor, buffer, 0);
    EXPECT_EQ((std::vector<LPARAM>{1, 1}), progressPositions);
    EXPECT_EQ(2000u, G.BytesReadTotal);
    DecoderClose(descriptor);
}

// The worker may read before the GUI thread has shown the dialog: those
// reads count, nothing is sent, and the first report once the dialog is
// there brings the bar and the kept file name up to date.
TEST_F(DecoderProgress, ReadsBeforeTheDialogCountAndItsFirstReportCatchesUp) {
    HWND label = CreateWindowW(L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, G.ProgressWindow, (HMENU)1006, nullptr,
                               nullptr);
    ASSERT_TRUE(label);
    HWND dialog = G.ProgressWindow;
    G.ProgressWindow = nullptr;
    lstrcpyW(G.UnshownName, L"dir\\big.bin");

    INT_PTR descriptor = OpenArchive();
    std::vector<char> buffer(2048);
    EXPECT_EQ(1500u, DecoderRead(descriptor, buffer.data(), 1500));
    EXPECT_EQ(1500u, G.BytesReadTotal);
    EXPECT_TRUE(progressPositions.empty());

    G.ProgressWindow = dialog;
    EXPECT_EQ(500u, DecoderRead(descriptor, buffer.data(), 1000));
    EXPECT_EQ((std::vector<LPARAM>{1}), progressPositions);
    WCHAR shown[MAX_PATH] = L"";
    GetWindowTextW(label, shown, MAX_PATH);
    EXPECT_STREQ(L"dir\\big.bin", shown);
    EXPECT_EQ(0, G.UnshownName[0]);
    DecoderClose(descriptor);
}

}  // namespace
