// The setup program of the sample packages (tests and scripts/demo): a
// small GUI program that shows what it was started with, its command line
// and working folder, and closes itself after a while or on a click.
//
// The environment steers it, so that the command line stays exactly what
// the module passed:
//   VUV_SETUP_RECORD   file that receives, in UTF-8, the command line, the
//                      working folder and every file below that folder
//                      (one line each) at start; "<file>.done" is written
//                      when the program ends
//   VUV_SETUP_EXTRA    a file to create, relative to the working folder, as
//                      an installer leaves a log behind
//   VUV_SETUP_LIFE_MS  how long the window stays (default 8000)
//   VUV_SETUP_EXIT_CODE  the program's exit code (default 0)
//
// Its title is not "Setup": the module would take such a window for an
// installer's and wait for it.
#include <windows.h>

#include "support/helper_io.h"

#include <algorithm>
#include <string>
#include <vector>



static std::wstring g_shown;

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        InflateRect(&area, -12, -12);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, g_shown.c_str(), (int)g_shown.size(), &area, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring root = folder;
    if (!root.empty() && root.back() != L'\\') root += L'\\';
    std::vector<std::wstring> files;
    WalkTree(root, L"", [&](const std::wstring& path, const WIN32_FIND_DATAW& data) {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(path);
    });
    std::sort(files.begin(), files.end());

    std::wstring record = Env(L"VUV_SETUP_RECORD");
    if (!record.empty()) {
        std::wstring text = std::wstring(GetCommandLineW()) + L"\n" + folder + L"\n";
        for (const std::wstring& file : files) text += file + L"\n";
        WriteUtf8(record, text);
    }
    std::wstring extra = Env(L"VUV_SETUP_EXTRA");
    if (!extra.empty()) WriteUtf8(root + extra, L"left behind by the sample setup program\n");

    g_shown = L"Started as:\n" + std::wstring(GetCommandLineW()) + L"\n\nWorking folder:\n" + folder +
              L"\n\nFiles there when it started:";
    for (const std::wstring& file : files) g_shown += L"\n    " + file;
    g_shown += L"\n\nClick to close.";

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"VuvSampleSetup";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(windowClass.lpszClassName, L"VUV-UZU sample setup", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                40, 40, 640, 360, nullptr, nullptr, instance, nullptr);
    std::wstring life = Env(L"VUV_SETUP_LIFE_MS");
    SetTimer(window, 1, life.empty() ? 8000 : (UINT)_wtoi(life.c_str()), nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (!record.empty()) WriteUtf8(record + L".done", L"done\n");
    return _wtoi(Env(L"VUV_SETUP_EXIT_CODE").c_str());
}
