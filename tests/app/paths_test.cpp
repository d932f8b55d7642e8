#include <gtest/gtest.h>

#include "app/paths.h"

TEST(Paths, Smoke) {
    WCHAR path[MAX_PATH] = L"C:\\x";
    AddTrailingBackslash(path, MAX_PATH);
    EXPECT_STREQ(L"C:\\x\\", path);
}
