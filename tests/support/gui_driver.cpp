#include "support/gui_driver.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

// How long a single message to another window may take before the driver
// gives up on it (a hung target must not hang the test).
constexpr UINT MessageTimeoutMs = 5000;
constexpr DWORD PollMs = 20;

struct SearchState {
    const WindowQuery* query;
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM lParam) {
    SearchState* state = (SearchState*)lParam;
    const WindowQuery& query = *state->query;
    if (!IsWindowVisible(window)) return TRUE;
    if (query.owner && GetWindow(window, GW_OWNER) != query.owner) return TRUE;
    if (query.processId) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (processId != query.processId) return TRUE;
    }
    if (!query.className.empty() && ClassName(window) != query.className) return TRUE;
    if (!query.title.empty() && WindowText(window) != query.title) return TRUE;
    if (!query.titlePart.empty() && WindowText(window).find(query.titlePart) == std::wstring::npos) return TRUE;
    state->found = window;
    return FALSE;
}

INPUT KeyInput(WORD vk, WORD scan, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    return input;
}

bool Send(std::vector<INPUT>& inputs) {
    return SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT)) == inputs.size();
}

INPUT MouseInput(POINT screenPoint, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    // Normalised to 0..65535, rounded up so that scaling back lands on the
    // pixel itself.
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = (LONG)(((LONGLONG)screenPoint.x * 65536 + width - 1) / width);
    input.mi.dy = (LONG)(((LONGLONG)screenPoint.y * 65536 + height - 1) / height);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return input;
}

// Moves first and waits until the system has the pointer there: under Wine
// a late motion event of the X server could otherwise send the click to
// where the pointer was before.
bool ClickAt(HWND window, POINT screenPoint) {
    if (!BringToFront(GetAncestor(window, GA_ROOT))) return false;
    std::vector<INPUT> move = {MouseInput(screenPoint, 0)};
    if (!Send(move)) return false;
    if (!WaitUntil([&] {
            POINT now;
            return GetCursorPos(&now) && now.x == screenPoint.x && now.y == screenPoint.y;
        }))
        return false;
    std::vector<INPUT> click = {MouseInput(screenPoint, MOUSEEVENTF_LEFTDOWN), MouseInput(screenPoint, MOUSEEVENTF_LEFTUP)};
    return Send(click);
}

std::string QuoteForShell(const std::string& text) { return "'" + text + "'"; }

struct KeyName {
    int vk;
    const char* name;
};
// Keys and buttons whose state changes what an injected key or click does.
const KeyName HeldKeys[] = {{VK_SHIFT, "Shift"},     {VK_CONTROL, "Ctrl"},         {VK_MENU, "Alt"},
                            {VK_LWIN, "left Win"},   {VK_RWIN, "right Win"},       {VK_LBUTTON, "left button"},
                            {VK_RBUTTON, "right button"}, {VK_MBUTTON, "middle button"}};

BOOL CALLBACK CollectVisible(HWND window, LPARAM list) {
    if (IsWindowVisible(window)) ((std::vector<HWND>*)list)->push_back(window);
    return TRUE;
}

std::vector<HANDLE> startedProcesses;

void KeepHandle(HANDLE process) {
    HANDLE kept = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &kept, 0, FALSE, DUPLICATE_SAME_ACCESS))
        startedProcesses.push_back(kept);
}

}  // namespace

const std::vector<HANDLE>& StartedProcesses() { return startedProcesses; }

std::vector<HWND> VisibleTopWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectVisible, (LPARAM)&windows);
    return windows;
}

std::string DescribeWindow(HWND window) {
    if (!window) return "none";
    DWORD processId = 0;
    DWORD threadId = GetWindowThreadProcessId(window, &processId);
    RECT rect = {};
    GetWindowRect(window, &rect);
    char handle[32];
    snprintf(handle, sizeof(handle), "%p", (void*)window);
    return std::string(handle) + " " + Narrow(ClassName(window)) + " \"" + Narrow(WindowText(window)) +
           "\" process " + std::to_string(processId) + " thread " + std::to_string(threadId) + " at " +
           std::to_string(rect.left) + "," + std::to_string(rect.top) + "-" + std::to_string(rect.right) + "," +
           std::to_string(rect.bottom) + (processId == GetCurrentProcessId() ? " (this process)" : "");
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(PollMs);
    }
}

ChildProcess::~ChildProcess() {
    Kill();
    if (process_) CloseHandle(process_);
    if (thread_) CloseHandle(thread_);
}

bool ChildProcess::Start(const std::wstring& module, const std::wstring& arguments, bool suspended) {
    if (process_) return false;
    std::wstring commandLine = L"\"" + module + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(module.c_str(), &commandLine[0], nullptr, nullptr, FALSE, suspended ? CREATE_SUSPENDED : 0,
                        nullptr, nullptr, &startup, &info))
        return false;
    if (suspended)
        thread_ = info.hThread;
    else
        CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    KeepHandle(process_);
    return true;
}

bool ChildProcess::Adopt(DWORD processId) {
    if (process_) return false;
    process_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process_) return false;
    id_ = processId;
    KeepHandle(process_);
    return true;
}

bool ChildProcess::Resume() {
    if (!thread_) return false;
    bool resumed = ResumeThread(thread_) != (DWORD)-1;
    CloseHandle(thread_);
    thread_ = nullptr;
    return resumed;
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_) return false;
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
        Kill();
        return false;
    }
    return GetExitCodeProcess(process_, exitCode) != FALSE;
}

void ChildProcess::Kill() {
    if (!Running()) return;
    TerminateProcess(process_, 0xDEAD);
    WaitForSingleObject(process_, MessageTimeoutMs);
}

bool ChildProcess::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

HWND FindTopWindow(const WindowQuery& query) {
    SearchState state = {&query, nullptr};
    EnumWindows(MatchTopWindow, (LPARAM)&state);
    return state.found;
}

HWND WaitForWindow(const WindowQuery& query, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(query)) != nullptr; }, timeoutMs);
    return found;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

HWND WaitForFolderBrowser(HWND owner) {
    WindowQuery query;
    query.className = L"#32770";
    query.owner = owner;
    return WaitForWindow(query);
}

std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, MessageTimeoutMs, &length))
        return std::wstring();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), (LPARAM)&text[0], SMTO_ABORTIFHUNG, MessageTimeoutMs,
                             &copied))
        return std::wstring();
    text.resize(copied);
    return text;
}

std::wstring ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? WindowText(control) : std::wstring();
}

std::wstring MessageBoxText(HWND box) { return ControlText(box, MessageBoxTextId); }

std::wstring ClassName(HWND window) {
    WCHAR name[256];
    int length = GetClassNameW(window, name, ARRAYSIZE(name));
    return std::wstring(name, length > 0 ? length : 0);
}

bool ClickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return button && PostMessageW(button, BM_CLICK, 0, 0);
}

bool ClickWithMouse(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    return ClickAt(window, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

bool ClickNonClient(HWND window, int hitTest) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    // The frame's buttons sit in the caption band at the top right; scan it
    // from the right.
    int band = GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME);
    for (int y = rect.top + 1; y < rect.top + band && y < rect.bottom; y += 2) {
        for (int x = rect.right - 2; x > rect.left; x -= 2) {
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, MessageTimeoutMs,
                                     &result))
                return false;
            if ((int)result == hitTest) return ClickAt(window, POINT{x, y});
        }
    }
    return false;
}

bool BringToFront(HWND window) {
    HWND root = GetAncestor(window, GA_ROOT);
    if (GetForegroundWindow() != root) SetForegroundWindow(root);
    if (WaitUntil([&] { return InputNotReady(root).empty(); }, MessageTimeoutMs)) return true;
    ADD_FAILURE() << "the window is not ready for input:\n"
                  << InputNotReady(root) << DescribeInputState("input-not-ready", root);
    return false;
}

std::string InputNotReady(HWND window) {
    HWND root = GetAncestor(window, GA_ROOT);
    std::string missing;
    if (!root) return "no such window\n";
    if (GetForegroundWindow() != root) missing += "not the foreground window\n";
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(root, nullptr), &info)) return missing + "no thread information\n";
    if (info.hwndActive != root) missing += "not the active window of its thread\n";
    if (info.hwndFocus != root && !IsChild(root, info.hwndFocus)) missing += "the focus is not inside it\n";
    if (info.hwndCapture) missing += "a window holds the capture\n";
    if (info.flags & (GUI_INMENUMODE | GUI_INMOVESIZE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE))
        missing += "its thread is in a menu or move loop\n";
    for (const KeyName& key : HeldKeys)
        if (GetAsyncKeyState(key.vk) & 0x8000) missing += std::string(key.name) + " is down\n";
    return missing;
}

std::string DescribeInputState(const std::string& what, HWND window) {
    std::string text = "foreground: " + DescribeWindow(GetForegroundWindow()) + "\n";
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (window && GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        text += "target thread: active " + DescribeWindow(info.hwndActive) + ", focus " +
                DescribeWindow(info.hwndFocus) + ", capture " + DescribeWindow(info.hwndCapture) + ", flags " +
                std::to_string(info.flags) + "\n";
    }
    text += "keys and buttons down:";
    for (const KeyName& key : HeldKeys)
        if (GetAsyncKeyState(key.vk) & 0x8000) text += std::string(" ") + key.name;
    POINT pointer = {};
    GetCursorPos(&pointer);
    text += "\npointer: " + std::to_string(pointer.x) + "," + std::to_string(pointer.y) + "\nvisible windows:\n";
    for (HWND each : VisibleTopWindows()) text += "  " + DescribeWindow(each) + "\n";
    std::string shot = what + "-" + std::to_string(GetTickCount());
    text += SaveScreenshot(shot) ? "screenshot: screenshots/" + shot + ".png\n" : "no screenshot\n";
    return text;
}

bool SendKeyChord(HWND window, const std::vector<WORD>& keys) {
    if (!BringToFront(GetAncestor(window, GA_ROOT))) return false;
    std::vector<INPUT> inputs;
    for (WORD vk : keys) inputs.push_back(KeyInput(vk, 0, 0));
    for (auto vk = keys.rbegin(); vk != keys.rend(); ++vk) inputs.push_back(KeyInput(*vk, 0, KEYEVENTF_KEYUP));
    return Send(inputs);
}

bool TypeText(HWND edit, const std::wstring& text) {
    auto focused = [&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        return GetGUIThreadInfo(GetWindowThreadProcessId(edit, nullptr), &info) && info.hwndFocus == edit;
    };
    // A click would move the caret and drop a selection: only when needed.
    bool ready = focused() && GetForegroundWindow() == GetAncestor(edit, GA_ROOT);
    if (!ready && (!ClickWithMouse(edit) || !WaitUntil(focused))) return false;
    std::vector<INPUT> inputs;
    for (WCHAR ch : text) {
        SHORT key = VkKeyScanW(ch);
        if (key == -1) {
            inputs.push_back(KeyInput(0, ch, KEYEVENTF_UNICODE));
            inputs.push_back(KeyInput(0, ch, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));
            continue;
        }
        bool shift = (key >> 8) & 1;
        if (shift) inputs.push_back(KeyInput(VK_SHIFT, 0, 0));
        inputs.push_back(KeyInput(LOBYTE(key), 0, 0));
        inputs.push_back(KeyInput(LOBYTE(key), 0, KEYEVENTF_KEYUP));
        if (shift) inputs.push_back(KeyInput(VK_SHIFT, 0, KEYEVENTF_KEYUP));
    }
    return inputs.empty() || Send(inputs);
}

bool SaveScreenshot(const std::string& name, HWND window) {
    CreateDirectoryW(BuildPath("screenshots").c_str(), nullptr);
    std::wstring picture = BuildPath("screenshots/" + name + ".png");
    DeleteFileW(picture.c_str());

    std::string crop;
    if (window) {
        RECT rect;
        if (!GetWindowRect(window, &rect)) return false;
        // Paint everything now; Wine hands the pixels to X when the window's
        // thread next waits, hence the short pause below.
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        int margin = 8;
        int left = rect.left > margin ? rect.left - margin : 0;
        int top = rect.top > margin ? rect.top - margin : 0;
        int right = rect.right + margin;
        int bottom = rect.bottom + margin;
        crop = " -crop " + std::to_string(right - left) + "x" + std::to_string(bottom - top) + "+" +
               std::to_string(left) + "+" + std::to_string(top) + " +repage";
    }
    Sleep(300);

    std::string unixPicture = std::string(VUV_BUILD_DIR) + "/screenshots/" + name + ".png";
    std::string partial = std::string(VUV_BUILD_DIR) + "/screenshots/" + name + ".partial.png";
    std::string script = "/usr/bin/import -window root" + crop + " " + QuoteForShell(partial) + " && /bin/mv " +
                         QuoteForShell(partial) + " " + QuoteForShell(unixPicture);
    std::wstring commandLine = L"/bin/sh -c \"" + Widen(script) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return false;
    // Wine starts the Unix program but hands back no handles of its own: the
    // fields are left alone, since closing them could close a handle the
    // test still holds.
    return WaitUntil([&] { return FileExists(picture); }, 20000);
}
