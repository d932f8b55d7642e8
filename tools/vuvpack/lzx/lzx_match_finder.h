// Earlier positions whose next three bytes are the same as a position's:
// hash chains (newest first) for the greedy and lazy parsers, or binary
// trees per hash (ordered by the bytes that follow) for the best parser,
// which wants every longer match and finds them in fewer steps.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

// The bytes the finder reads: folder positions [start, end) held in data.
struct LzxHistory {
    std::vector<uint8_t> data;
    uint32_t start = 0;  // folder position of data[0]
    uint32_t end = 0;    // folder position after the last byte held

    const uint8_t* At(uint32_t position) const { return data.data() + (position - start); }
};

struct LzxMatchFinder {
    int hashBits = 0;
    uint32_t windowMask = 0;
    bool trees = false;
    std::vector<uint32_t> head;  // newest position + 1 per hash, 0 for none
    // Per position modulo the window: chains, the previous position + 1;
    // trees, the position + 1 of the smaller and of the larger subtree.
    std::vector<uint32_t> chain;
    uint32_t inserted = 0;       // chains: positions below this are in them
    uint32_t waiting = 0;        // trees: positions below this are in them
};

struct LzxMatch {
    uint32_t length;  // 0 for none
    uint32_t distance;
};

void StartMatchFinder(LzxMatchFinder* finder, int windowBits, bool trees);

// Enters every position below `position` whose three bytes are held into
// the chains; nothing with trees.
void InsertPositions(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position);

// The longest match at position of at least 3 and at most maxLength bytes
// within maxDistance, looking at chainDepth candidates and stopping at
// niceLength. Enters the positions up to and including position.
LzxMatch FindLongestMatch(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position, uint32_t maxLength,
                          uint32_t maxDistance, int chainDepth, uint32_t niceLength);

// Every match at position that is longer than all nearer ones, shortest
// first, with the same limits; what a cost-driven parser chooses from.
// With trees, positions are entered by this call, up to position.
void FindMatches(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position, uint32_t maxLength,
                 uint32_t maxDistance, int chainDepth, uint32_t niceLength, std::vector<LzxMatch>* matches);

// How many bytes at position equal those distance before it, at most maxLength.
inline uint32_t MatchLength(const LzxHistory& history, uint32_t position, uint32_t distance, uint32_t maxLength) {
    const uint8_t* here = history.At(position);
    const uint8_t* there = here - distance;
    uint32_t length = 0;
    while (length < maxLength && here[length] == there[length]) length++;
    return length;
}
