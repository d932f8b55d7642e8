// Records every window that one process creates or shows, through a
// WinEvent hook out of context: the events wait in this thread's queue, so
// a window that lives for a moment is still seen, where polling the
// window list would miss it. Wine 8 reports the creation of every window
// (controls and hidden ones included) but not its showing.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class WindowWatcher {
public:
    WindowWatcher() = default;
    ~WindowWatcher();
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    // Hooks the creation and showing of windows in process processId, from
    // this thread; the events arrive while this thread takes its messages.
    bool Watch(DWORD processId);
    // Takes the waiting events, then returns what was seen: one line per
    // window and event, "create" or "show", its class and its caption
    // (read when the event is taken: both empty once the window is gone).
    std::vector<std::wstring> Seen();

private:
    static void CALLBACK OnEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child, DWORD thread,
                                 DWORD time);

    HWINEVENTHOOK hook_ = nullptr;
    std::vector<std::wstring> seen_;
};
