// Message boxes raised by the code under test on the test's own thread.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

struct AnsweredBox {
    bool shown = false;
    std::wstring caption;
    std::wstring text;
};

// Runs action on this thread while another thread waits for a dialog of
// this process with the given caption (any caption when empty: then no
// other dialog may be up), notes its caption and text, and presses OK.
// When no box comes, the other thread gives up after the driver's default
// wait.
AnsweredBox AnswerBoxDuring(const std::wstring& caption, const std::function<void()>& action);

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
};

// Answers every message box of this process with OK until Stop, and keeps
// what each said and who owned it: for code that may show several boxes,
// or none. A progress window (one with the bar 1004) is no message box.
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

// Exactly one box came, with this caption, text and owner.
::testing::AssertionResult OneBox(const std::vector<SeenBox>& seen, const SeenBox& expected);
