// main of every Windows test program: the state defaults the program's
// entry point sets, then GoogleTest, ending with the check for windows
// left open.
#include <gtest/gtest.h>

#include "base/state.h"
#include "support/leftovers.h"

int main(int argc, char** argv) {
    SetStateDefaults();
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new LeftoverWindowCheck);
    return RUN_ALL_TESTS();
}
