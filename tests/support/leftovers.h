// The check that ends every test program: no window that the program, or a
// program it started, left on the display, and no such program still
// running. The test programs share one
// display, one at a time; a window left open takes the foreground, the
// focus or the pointer from the next program's windows.
#pragma once

#include <gtest/gtest.h>

class LeftoverWindowCheck : public testing::Environment {
public:
    // Lists every visible top-level window of this process and of the
    // processes descended from it, and every such process that still runs,
    // as a failure, and ends those processes.
    void TearDown() override;
};
