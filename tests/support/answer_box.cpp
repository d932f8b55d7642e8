#include "support/answer_box.h"

#include <windows.h>

#include <thread>

#include "resource.h"
#include "support/gui_driver.h"
#include "support/test_files.h"

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

static BOOL CALLBACK FindMessageBoxOf(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    // A progress window (bar 1004) is no box, even before G.ProgressWindow names it.
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) || GetDlgItem(window, IDC_PROGRESS_BAR))
        return TRUE;
    if (ClassName(window) != L"#32770" || !GetDlgItem(window, MessageBoxTextId)) return TRUE;
    *(HWND*)found = window;
    return FALSE;
}

static HWND FindMessageBox() {
    HWND found = nullptr;
    EnumWindows(FindMessageBoxOf, (LPARAM)&found);
    return found;
}

BoxAnswerer::BoxAnswerer()
    : thread_([this] {
          while (!stop_) {
              HWND box = FindMessageBox();
              if (!box) {
                  Sleep(20);
                  continue;
              }
              SeenBox seen;
              seen.caption = WindowText(box);
              seen.text = MessageBoxText(box);
              seen.owner = GetWindow(box, GW_OWNER);
              boxes_.push_back(seen);
              ClickButton(box, IDOK);
              WaitForWindowGone(box);
          }
      }) {}

BoxAnswerer::~BoxAnswerer() { Stop(); }

const std::vector<SeenBox>& BoxAnswerer::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return boxes_;
}

::testing::AssertionResult OneBox(const std::vector<SeenBox>& seen, const SeenBox& expected) {
    if (seen.size() != 1) return ::testing::AssertionFailure() << seen.size() << " boxes instead of one";
    const SeenBox& box = seen[0];
    if (box.caption != expected.caption || box.text != expected.text || box.owner != expected.owner)
        return ::testing::AssertionFailure() << "box \"" << Narrow(box.caption) << "\": \"" << Narrow(box.text)
                                             << "\" owned by " << box.owner;
    return ::testing::AssertionSuccess();
}
