// What an LZX block costs in bits, from the counts of its symbols: its
// trees, sent against the trees of the coded block before it, and its
// symbols under its own codes; the block writer sends the same trees.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "vuvpack/lzx/lzx_format.h"

// The symbols of some frames' items; the counts of frames add up to their
// block's.
struct LzxSymbolCounts {
    uint32_t main[kLzxMaxMainSymbols];
    uint32_t length[kLzxLengthSymbols];
    uint32_t aligned[8];      // the low 3 extra bits of distances with 3 or more
    uint64_t footerBits;      // every extra bit of the new distances
    uint32_t alignedFooters;  // distances with 3 or more extra bits
    uint32_t bytes;           // uncompressed
};

// A block's codes: main, then length, as the decoder keeps them, and the
// aligned tree when it pays.
struct LzxBlockCodes {
    uint8_t lengths[kLzxMaxMainSymbols + kLzxLengthSymbols];
    uint8_t aligned[8];
    bool useAligned;
};

// A section of the trees as sent: pretree tokens (17 and 18 carry their run
// in the bits above the low byte) and the pretree's code lengths.
struct LzxTreeSection {
    std::vector<uint16_t> tokens;
    uint8_t pretreeLengths[kLzxPretreeSymbols];
};

void ClearCounts(LzxSymbolCounts* counts);
void CountItems(const LzxItem* items, size_t count, uint32_t bytes, LzxSymbolCounts* counts);
void AddCounts(const LzxSymbolCounts& from, LzxSymbolCounts* to);

// The codes of the counts; an aligned tree when it saves more than its own
// 24 bits.
void BuildLzxBlockCodes(const LzxSymbolCounts& counts, int mainSymbols, LzxBlockCodes* codes);

// lengths[start, end) as sent against previous[]: runs of zeros as 17
// (4-19) and 18 (20-51), others as (old - new) mod 17.
void MakeTreeSection(const uint8_t* previous, const uint8_t* lengths, int start, int end, LzxTreeSection* section);

// A coded block of the counts under codes, its trees sent against previous
// (the decoder's trees before it): header, trees and symbols, without the
// padding at frame ends.
uint64_t CodedBlockBits(const LzxSymbolCounts& counts, const LzxBlockCodes& codes, const uint8_t* previous,
                        int mainSymbols);

// An uncompressed block of that many bytes: header, padding, the repeated
// distances and the bytes.
uint64_t UncompressedBlockBits(uint32_t bytes);
