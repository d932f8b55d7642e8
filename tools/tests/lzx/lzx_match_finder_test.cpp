// The match finder, both ways: every candidate is a real match within the
// limits, each longer than the one before, and the trees find what a full
// search finds.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>

#include "support/test_data.h"
#include "vuvpack/lzx/lzx_match_finder.h"

namespace {

// The longest match at position by trying every distance.
uint32_t LongestByEveryDistance(const LzxHistory& history, uint32_t position, uint32_t maxLength,
                                uint32_t maxDistance) {
    uint32_t longest = 0;
    for (uint32_t distance = 1; distance <= position && distance <= maxDistance; distance++) {
        uint32_t length = MatchLength(history, position, distance, maxLength);
        if (length > longest) longest = length;
    }
    return longest;
}

TEST(LzxMatchFinder, CandidatesAreRealMatchesGrowingWithinTheLimits) {
    Bytes (*const generators[])(TestRandom*, size_t) = {TextBytes, RunBytes, CallBytes, RepeatBytes};
    const uint32_t kMaxDistance = 4000, kNice = 40;
    for (bool trees : {false, true}) {
        for (auto generate : generators) {
            TestRandom random(41);
            LzxHistory history;
            history.data = generate(&random, 12000);
            history.end = (uint32_t)history.data.size();
            LzxMatchFinder finder;
            StartMatchFinder(&finder, 15, trees);
            uint32_t frameEnd = 6000, foundLongest = 0, possibleLongest = 0;
            for (uint32_t position = 0; position < history.end; position++) {
                if (position == frameEnd) frameEnd = history.end;
                uint32_t maxLength = std::min<uint32_t>(frameEnd - position, 257);
                // The finder sees the bytes up to the frame's end only.
                history.end = frameEnd;
                std::vector<LzxMatch> matches;
                FindMatches(&finder, history, position, maxLength, kMaxDistance, 1 << 20, kNice, &matches);
                history.end = (uint32_t)history.data.size();
                uint32_t shorter = 2;
                for (const LzxMatch& match : matches) {
                    SCOPED_TRACE("position " + std::to_string(position) + (trees ? ", trees" : ", chains"));
                    ASSERT_GT(match.length, shorter);
                    ASSERT_LE(match.length, maxLength);
                    ASSERT_LE(match.distance, std::min(position, kMaxDistance));
                    ASSERT_EQ(0, memcmp(history.At(position), history.At(position - match.distance), match.length));
                    shorter = match.length;
                }
                // Near a frame's end the trees lack the positions not yet
                // entered; elsewhere nothing may be missed.
                if (frameEnd - position < kNice) continue;
                uint32_t possible = std::min(LongestByEveryDistance(history, position, maxLength, kMaxDistance), kNice);
                foundLongest += std::min(shorter == 2 ? 0 : shorter, kNice);
                possibleLongest += possible < 3 ? 0 : possible;
            }
            // A search without a depth limit misses nothing the window holds.
            EXPECT_EQ(possibleLongest, foundLongest) << (trees ? "trees" : "chains");
        }
    }
}

}  // namespace
