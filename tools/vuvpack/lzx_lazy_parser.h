// The lazy parser: at each position the longest match, unless the next
// position starts a better one.
#pragma once

#include <vector>

#include "lzx_format.h"
#include "lzx_match_finder.h"

struct LzxParseState {
    LzxMatchFinder finder;
    LzxRepeats repeats;
    uint32_t maxDistance;
};

// Parses the folder positions [start, end), all held in history; no match
// reaches past end. Appends the items.
void ParseLazy(LzxParseState* state, const LzxHistory& history, uint32_t start, uint32_t end,
               std::vector<LzxItem>* items);
