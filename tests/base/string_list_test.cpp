#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/string_list.h"

static size_t BlockSlots(const StringList& list) {
    return GlobalSize(GlobalHandle(list.entries)) / sizeof(WCHAR*);
}

static std::vector<std::wstring> Walk(StringList* list) {
    std::vector<std::wstring> seen;
    for (const WCHAR* entry = StringListFirst(list); entry; entry = StringListNext(list)) seen.push_back(entry);
    return seen;
}

TEST(StringList, GrowsFrom257To513SlotsAndKeepsTheOrder) {
    StringList list = {};
    std::vector<std::wstring> added;
    for (int i = 0; i < 257; i++) {
        added.push_back(L"entry " + std::to_wstring(i));
        ASSERT_TRUE(StringListAdd(&list, added.back().c_str()));
    }
    EXPECT_EQ(257, list.capacity);
    EXPECT_EQ(257u, BlockSlots(list));
    EXPECT_EQ(257, StringListCount(&list));

    added.push_back(L"entry 257");
    ASSERT_TRUE(StringListAdd(&list, added.back().c_str()));
    EXPECT_EQ(513, list.capacity);
    EXPECT_EQ(513u, BlockSlots(list));
    EXPECT_EQ(258, StringListCount(&list));
    for (int i = 258; i < 513; i++) EXPECT_EQ(nullptr, list.entries[i]) << "slot " << i << " beyond count";

    EXPECT_EQ(added, Walk(&list));
    EXPECT_EQ(nullptr, StringListNext(&list)) << "the walk stays at its end";

    StringListClear(&list);
    EXPECT_EQ(0, StringListCount(&list));
    EXPECT_EQ(nullptr, list.entries);
    EXPECT_EQ(nullptr, StringListFirst(&list));
}

TEST(StringList, KeepsCopiesNotTheCallersText) {
    StringList list = {};
    wchar_t text[] = L"original";
    ASSERT_TRUE(StringListAdd(&list, text));
    text[0] = L'X';
    EXPECT_STREQ(L"original", StringListFirst(&list));
    StringListClear(&list);
}

TEST(StringList, EmptyListHasNothingToWalkOrClear) {
    StringList list = {};
    StringListClear(&list);
    EXPECT_EQ(nullptr, StringListFirst(&list));
    EXPECT_EQ(nullptr, StringListNext(&list));
    EXPECT_EQ(0, StringListCount(&list));
}

TEST(StringList, CanBeFilledAgainAfterClear) {
    StringList list = {};
    ASSERT_TRUE(StringListAdd(&list, L"a"));
    ASSERT_TRUE(StringListAdd(&list, L"b"));
    EXPECT_EQ(std::vector<std::wstring>({L"a", L"b"}), Walk(&list));
    StringListClear(&list);
    EXPECT_EQ(nullptr, StringListNext(&list)) << "the cursor is unset by Clear";

    ASSERT_TRUE(StringListAdd(&list, L"c"));
    EXPECT_EQ(257, list.capacity);
    EXPECT_EQ(std::vector<std::wstring>({L"c"}), Walk(&list));
    StringListClear(&list);
}

TEST(StringList, NextBeforeFirstReturnsNull) {
    StringList list = {};
    ASSERT_TRUE(StringListAdd(&list, L"a"));
    EXPECT_EQ(nullptr, StringListNext(&list));
    EXPECT_STREQ(L"a", StringListFirst(&list));
    EXPECT_EQ(nullptr, StringListNext(&list));
    StringListClear(&list);
}
