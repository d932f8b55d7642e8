// The greedy and lazy parsers: at each position the longest match, unless
// (lazy) the next position starts a better one.
#pragma once

#include <vector>

#include "vuvpack/lzx/lzx_format.h"
#include "vuvpack/lzx/lzx_match_finder.h"

// How hard the parser looks: candidates per position, the length that
// stops the search, and the length from which a match is taken without
// looking at the next position (0: never look, greedy).
struct LzxLazyTuning {
    int chainDepth;
    uint32_t niceLength;
    uint32_t lazyLength;
};

struct LzxParseState {
    LzxMatchFinder finder;
    LzxRepeats repeats;
    uint32_t maxDistance;
};

// Parses the folder positions [start, end), all held in history; no match
// reaches past end. Appends the items.
void ParseLazy(LzxParseState* state, const LzxLazyTuning& tuning, const LzxHistory& history, uint32_t start,
               uint32_t end, std::vector<LzxItem>* items);
