// Hash chains over the window: for a position, earlier positions whose
// next three bytes are the same, newest first.
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
    std::vector<uint32_t> head;  // newest position + 1 per hash, 0 for none
    std::vector<uint32_t> chain; // per position modulo the window: the previous position + 1
    uint32_t inserted = 0;       // positions below this are in the chains
};

struct LzxMatch {
    uint32_t length;  // 0 for none
    uint32_t distance;
};

void StartMatchFinder(LzxMatchFinder* finder, int windowBits);

// Enters every position below `position` whose three bytes are held.
void InsertPositions(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position);

// The longest match at position of at least 3 and at most maxLength bytes
// within maxDistance, looking at chainDepth candidates and stopping at
// niceLength. Enters the positions up to and including position.
LzxMatch FindLongestMatch(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position, uint32_t maxLength,
                          uint32_t maxDistance, int chainDepth, uint32_t niceLength);

// Every match at position that is longer than all nearer ones, shortest
// first, with the same limits; what a cost-driven parser chooses from.
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
