#include "engine_boxes.h"

#include "app/state.h"
#include "gui_driver.h"

static BOOL CALLBACK FindMessageBoxOf(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) || window == G.ProgressWindow) return TRUE;
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
