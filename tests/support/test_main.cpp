// main of every Windows test program: the state defaults the program's
// entry point sets, then GoogleTest.
#include <gtest/gtest.h>

#include "app/state.h"

int main(int argc, char** argv) {
    SetStateDefaults();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
