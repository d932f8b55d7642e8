// Stand-in for a package's setup program, started by the launcher tests.
// Behaviour comes from the environment, so the command line stays exactly
// what the launcher passed:
//   VUV_HELPER_RECORD  file that receives "command line\nworking folder\npid\n"
//                      (UTF-8) at start; "<file>.done" is written at the end
//   VUV_HELPER_LIFE    milliseconds to stay alive (default 0)
//   VUV_HELPER_CLASS   show a window of this class while alive
//   VUV_HELPER_TITLE   show a window with this title while alive
//   VUV_HELPER_SPAWN   start a copy of itself (without this variable) and
//                      end at once, as an installer front end does
//   VUV_HELPER_BREAKAWAY  start that copy outside the job it runs in, as an
//                      installer starts the installed application
//   VUV_HELPER_SILENT  never look at the message queue, as a silent
//                      installer does
// Otherwise it pumps messages while alive: WaitForInputIdle needs a GUI
// program that reaches its message loop.
#include <windows.h>

#include "support/helper_io.h"

#include <string>


static int SpawnCopy() {
    SetEnvironmentVariableW(L"VUV_HELPER_SPAWN", nullptr);
    PROCESS_INFORMATION process;
    if (!StartSelf(L"", !Env(L"VUV_HELPER_BREAKAWAY").empty(), &process)) return 2;
    // The copy must be showing its window before the launcher starts
    // looking, as a real front end hands over to its installer.
    WaitForInputIdle(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return 0;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    if (!Env(L"VUV_HELPER_SPAWN").empty()) return SpawnCopy();

    std::wstring record = Env(L"VUV_HELPER_RECORD");
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    if (!record.empty())
        WriteUtf8(record, std::wstring(GetCommandLineW()) + L"\n" + folder + L"\n" +
                              std::to_wstring(GetCurrentProcessId()) + L"\n");

    std::wstring className = Env(L"VUV_HELPER_CLASS");
    std::wstring title = Env(L"VUV_HELPER_TITLE");
    HWND window = nullptr;
    if (!className.empty() || !title.empty()) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = className.empty() ? L"VuvHelperWindow" : className.c_str();
        RegisterClassW(&windowClass);
        window = CreateWindowW(windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                               200, 100, nullptr, nullptr, instance, nullptr);
    }

    // Looks at the queue before the first wait: that is what marks the
    // program input-idle for WaitForInputIdle.
    DWORD life = (DWORD)_wtoi(Env(L"VUV_HELPER_LIFE").c_str());
    if (!Env(L"VUV_HELPER_SILENT").empty()) {
        Sleep(life);
        if (!record.empty()) WriteUtf8(record + L".done", L"done\n");
        return 0;
    }
    DWORD start = GetTickCount();
    MSG message;
    for (;;) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= life) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, life - elapsed, QS_ALLINPUT);
    }
    // Written while the window still exists: once it has gone, the marker is there.
    if (!record.empty()) WriteUtf8(record + L".done", L"done\n");
    if (window) DestroyWindow(window);
    return 0;
}
