#include "answer_box.h"

#include <windows.h>

#include <thread>

#include "gui_driver.h"

AnsweredBox AnswerBoxDuring(const std::wstring& caption, const std::function<void()>& action) {
    AnsweredBox box;
    std::thread watcher([&] {
        WindowQuery query;
        query.title = caption;
        query.className = L"#32770";
        query.processId = GetCurrentProcessId();
        HWND window = WaitForWindow(query);
        if (!window) return;
        box.shown = true;
        box.caption = WindowText(window);
        box.text = MessageBoxText(window);
        ClickButton(window, IDOK);
    });
    action();
    watcher.join();
    return box;
}
