// Message boxes of this test process, answered by a second thread while
// the engine runs (and shows them) on the test's thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
};

// Answers every message box of this process with OK until Stop, and keeps
// what each said and who owned it. The progress dialog is no message box.
class BoxAnswerer {
public:
    BoxAnswerer();
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    const std::vector<SeenBox>& Stop();

private:
    std::atomic<bool> stop_{false};
    std::vector<SeenBox> boxes_;
    std::thread thread_;
};
