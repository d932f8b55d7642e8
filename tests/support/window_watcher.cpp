#include "support/window_watcher.h"

#include "support/gui_driver.h"

namespace {

// The hook's callback has no context argument; one watcher at a time.
std::vector<std::wstring>* current = nullptr;

}  // namespace

WindowWatcher::~WindowWatcher() {
    if (hook_) UnhookWinEvent(hook_);
    if (current == &seen_) current = nullptr;
}

bool WindowWatcher::Watch(DWORD processId) {
    if (hook_ || current) return false;
    hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, OnEvent, processId, 0,
                            WINEVENT_OUTOFCONTEXT);
    if (hook_) current = &seen_;
    return hook_ != nullptr;
}

void CALLBACK WindowWatcher::OnEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                                     DWORD) {
    // Windows only: not the caret, cursor or other objects inside them.
    if (!current || object != OBJID_WINDOW || child != CHILDID_SELF) return;
    if (event != EVENT_OBJECT_CREATE && event != EVENT_OBJECT_SHOW) return;
    WCHAR className[128] = L"";
    GetClassNameW(window, className, ARRAYSIZE(className));
    current->push_back(std::wstring(event == EVENT_OBJECT_CREATE ? L"create " : L"show ") + className + L" \"" +
                       WindowText(window) + L"\"");
}

std::vector<std::wstring> WindowWatcher::Seen() {
    if (!hook_) return seen_;  // no messages of this thread taken for nothing
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return seen_;
}
