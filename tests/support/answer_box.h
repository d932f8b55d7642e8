// Message boxes raised by the code under test on the test's own thread.
#pragma once

#include <functional>
#include <string>

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
