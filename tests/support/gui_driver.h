// Drives real windows for GUI tests under Wine and Xvfb: starts the module,
// waits for windows, reads and clicks controls, types, and saves
// screenshots of the display for people to look at.
//
// What Wine does here (Wine 8):
// - Message boxes are dialogs of class "#32770"; their text is the static
//   control 0xFFFF (MessageBoxTextId), their caption the window text, as on
//   Windows.
// - Keys go through SendInput after SetForegroundWindow: posted key messages
//   would bypass thread keyboard hooks, which see only real input.
// - Screenshots: a Windows program under Wine can start a Unix program with
//   CreateProcessW (Wine forks and execs it, splitting the command line the
//   Windows way and passing the arguments unconverted, so paths are Unix
//   paths), but Wine hands back no process handle to wait on. SaveScreenshot
//   therefore runs /bin/sh -c "import -window root ... tmp && mv tmp png" and
//   waits for the finished file to appear.
// - The test display has no window manager: Wine draws the captions itself
//   (the prefix sets X11 Driver\Managed to N), so the close box is Wine's and
//   ClickNonClient finds it by hit-testing.
//
// Every wait takes a time-out in milliseconds and reports failure instead of
// hanging; the callers turn that into a test failure.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Static control holding a message box's text.
constexpr int MessageBoxTextId = 0xFFFF;
// Default time-out for windows to appear and for effects to show.
constexpr DWORD DefaultWaitMs = 10000;

// Polls condition until it holds or the time-out passes; true if it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = DefaultWaitMs);

// A child process started by a test. The destructor kills it if it still
// runs, so a failed test leaves nothing behind.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts module (a Windows path) with arguments appended to its quoted
    // name as the command line; a suspended one runs after Resume.
    bool Start(const std::wstring& module, const std::wstring& arguments, bool suspended = false);
    // Takes charge of a process that something else started (the shell, for
    // a document), so that it ends with the test too.
    bool Adopt(DWORD processId);
    bool Resume();
    // Waits for the end and returns true with its exit code; on time-out
    // kills the process and returns false.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);
    void Kill();
    bool Running() const;
    DWORD Id() const { return id_; }

private:
    HANDLE process_ = nullptr;
    HANDLE thread_ = nullptr;  // kept while suspended
    DWORD id_ = 0;
};

// Every process that a ChildProcess of this program started or adopted,
// by a handle kept open to the program's end: the system reuses the
// number of a process only once no handle to it is left.
const std::vector<HANDLE>& StartedProcesses();

// Conditions for a top-level window; empty or zero fields match anything.
// Only visible windows match.
struct WindowQuery {
    std::wstring title;
    std::wstring className;  // "#32770" for dialogs and message boxes
    DWORD processId = 0;     // GetCurrentProcessId() for dialogs of this test
    HWND owner = nullptr;
    std::wstring titlePart;  // somewhere in the title
};

HWND FindTopWindow(const WindowQuery& query);
std::vector<HWND> VisibleTopWindows();
// A window for failure messages: handle, class, caption, process, thread
// and place.
std::string DescribeWindow(HWND window);
HWND WaitForWindow(const WindowQuery& query, DWORD timeoutMs = DefaultWaitMs);
bool WaitForWindowGone(HWND window, DWORD timeoutMs = DefaultWaitMs);
// The shell's folder browser that a Browse button of owner opened.
HWND WaitForFolderBrowser(HWND owner);

// Text by WM_GETTEXT, which also reaches windows of other processes.
std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int id);
std::wstring MessageBoxText(HWND box);
std::wstring ClassName(HWND window);

// Clicks a button by posting BM_CLICK: returns at once, also when the click
// opens something modal on the button's thread. Callers wait for the effect.
bool ClickButton(HWND dialog, int id);
// A real mouse click (SendInput) at the centre of a window.
bool ClickWithMouse(HWND window);
// A real mouse click on a part of a top-level window's frame, found by
// hit-testing (HTCLOSE for the close box).
bool ClickNonClient(HWND window, int hitTest);

// Brings window's top-level window forward and waits until it is ready for
// real input (see InputNotReady). On time-out the test fails with what was
// missing, the input state and a screenshot, and the result is false.
bool BringToFront(HWND window);
// What keeps window's top-level window from taking real input now: empty
// when it is the foreground and its thread's active window, the focus is in
// it, nothing holds the capture or a menu or move loop, and no modifier key
// or mouse button is down; else each thing missing, one per line.
std::string InputNotReady(HWND window);
// The driver's view for a failed input step: the foreground window and the
// target thread's active, focus and capture windows with their processes,
// every visible top-level window, the keys and buttons held down and the
// pointer. Also saves a screenshot named after what.
std::string DescribeInputState(const std::string& what, HWND window);
// Presses the keys in order and releases them in reverse (a chord such as
// {VK_MENU, VK_F4}), after bringing window to the front.
bool SendKeyChord(HWND window, const std::vector<WORD>& keys);
// Clicks into the edit control and types text key by key; characters with
// no key on the layout go as Unicode packets.
bool TypeText(HWND edit, const std::wstring& text);

// Saves a PNG of the whole display, or of window with a small margin, as
// build/screenshots/<name>.png. Returns false (and the test goes on) when
// no picture came.
bool SaveScreenshot(const std::string& name, HWND window = nullptr);
