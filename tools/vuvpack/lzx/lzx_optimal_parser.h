// The near-optimal parser: the cheapest path through a frame in bits, with
// the costs of the block's Huffman codes, matches from the finder's
// candidates, and the repeated distances followed along each path.
#pragma once

#include <stdint.h>

#include <vector>

#include "vuvpack/lzx/lzx_format.h"
#include "vuvpack/lzx/lzx_match_finder.h"

// What each symbol costs, in bits.
struct LzxCosts {
    uint32_t main[kLzxMaxMainSymbols];
    uint32_t length[kLzxLengthSymbols];
    uint32_t aligned[8];  // the low 3 extra bits of far distances; 3 each in a verbatim block
};

// A frame's match candidates: those of position start + i are
// matches[first[i]] up to matches[first[i + 1]], shortest first.
struct LzxFrameCandidates {
    uint32_t start;
    uint32_t size;
    std::vector<uint32_t> first;
    std::vector<LzxMatch> matches;
};

// Runs the finder over the frame [start, end) and keeps its candidates.
void GatherCandidates(LzxMatchFinder* finder, const LzxHistory& history, uint32_t start, uint32_t end,
                      uint32_t maxDistance, LzxFrameCandidates* candidates);

// Costs of the code lengths; alignedLengths is null for a verbatim block. A
// symbol without a code costs what a rare symbol would.
void CostsFromLengths(const uint8_t* mainLengths, const uint8_t* lengthLengths, const uint8_t* alignedLengths,
                      LzxCosts* costs);

// Costs for the folder's first block, before any code exists.
void StartingCosts(LzxCosts* costs);

// Appends the frame's cheapest items and updates the repeated distances as
// the decoder will.
void ParseOptimal(const LzxFrameCandidates& candidates, const LzxHistory& history, const LzxCosts& costs,
                  LzxRepeats* repeats, std::vector<LzxItem>* items);
