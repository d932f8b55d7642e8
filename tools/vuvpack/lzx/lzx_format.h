// Constants of the cabinet's LZX format and the encoding of one match.
#pragma once

#include <stdint.h>

#include "base/little_endian.h"

static const int kLzxMinWindowBits = 15;
static const int kLzxMaxWindowBits = 21;
static const uint32_t kLzxFrameSize = 32768;
// A frame's coded bytes go into a data block of their own, which holds at
// most 6 KiB more than the frame; a block whose frames would take more is
// sent as it is.
static const uint32_t kLzxMaxChunkBytes = kLzxFrameSize + 6144;
static const uint32_t kLzxMinMatch = 2;
static const uint32_t kLzxMaxMatch = 257;
static const int kLzxLiteralCount = 256;
static const int kLzxLengthHeaders = 8;  // match length 2..8, or 9+ from the length tree
static const int kLzxLengthSymbols = 249;
static const int kLzxPretreeSymbols = 20;
static const int kLzxMaxSlots = 50;
static const int kLzxMaxMainSymbols = kLzxLiteralCount + kLzxLengthHeaders * kLzxMaxSlots;
static const int kLzxMaxCodeLength = 16;
static const int kLzxMaxPretreeLength = 15;  // sent in 4 bits
enum { kLzxBlockVerbatim = 1, kLzxBlockAligned = 2, kLzxBlockUncompressed = 3 };

// Position slots of a window of 2^windowBits bytes.
int LzxPositionSlots(int windowBits);

// The largest match distance we use in that window. The format allows the
// window less 3; 7-Zip's decoder copies a match of exactly that distance
// wrongly when a match from farther than a few bytes ends just before it,
// so we stay one byte below, at no cost worth counting.
inline uint32_t LzxMaxDistance(int windowBits) { return (1u << windowBits) - 4; }

// The three repeated distances; each folder starts with 1, 1, 1.
struct LzxRepeats {
    uint32_t distance[3];
};

// One literal or match as the block writer sends it.
struct LzxItem {
    uint32_t footer;      // the slot's extra bits
    uint16_t mainSymbol;  // literal byte, or 256 + slot * 8 + length header
    uint8_t lengthSymbol; // match length - 9, when the length header is 7
    uint8_t footerBits;
};

inline LzxItem LzxLiteralItem(uint8_t byte) { return LzxItem{0, byte, 0, 0}; }

// The position slot of a new distance (not a repeated one), its extra
// bits and their value.
int LzxDistanceSlot(uint32_t distance, int* footerBits, uint32_t* footer);

// A match of length 2..257 at distance; uses a repeated slot when the
// distance is one of the repeated distances, and updates them.
LzxItem LzxMatchItem(uint32_t length, uint32_t distance, LzxRepeats* repeats);
