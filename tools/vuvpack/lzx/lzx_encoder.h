// The cabinet flavour of LZX: a folder's data in 32 KiB frames, each frame
// one data block, the window, trees and repeated distances running on
// across the frames of the folder.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "vuvpack/lzx/lzx_bit_writer.h"
#include "vuvpack/lzx/lzx_block_cost.h"
#include "vuvpack/lzx/lzx_format.h"
#include "vuvpack/lzx/lzx_lazy_parser.h"
#include "vuvpack/lzx/lzx_match_finder.h"
#include "vuvpack/lzx/lzx_optimal_parser.h"

// The levels differ in the parser alone: greedy, lazy, or the cheapest
// path by the block's codes.
enum LzxLevel { kLzxLevelFast, kLzxLevelDefault, kLzxLevelBest };

struct LzxSettings {
    int windowBits = 21;                 // 15..21
    LzxLevel level = kLzxLevelDefault;
    bool e8 = true;                      // E8 call translation
    uint32_t e8FrameLimit = 32768;       // frames translated, from the folder's start
    uint32_t blockFrames = 0;            // frames per block; 0: the level's choice
};

// One frame's compressed bytes, a data block of its own.
struct LzxChunk {
    std::vector<uint8_t> bytes;
    uint32_t uncompressedSize;
};

// A block as it was sent: its frames and its type (kLzxBlockVerbatim, ...).
struct LzxBlockRecord {
    uint32_t frames;
    int type;
};

struct LzxEncoder {
    LzxSettings settings;
    int mainSymbols;          // 256 + 8 per position slot
    int32_t e8FileSize;       // the stream header's value; 0 without translation
    bool headerSent;          // the E8 header goes before the first block
    uint32_t framesDone;      // frames parsed
    uint32_t blockFrames;     // frames per block; 0: each block ends where that costs least
    uint32_t maxBlockFrames;  // the most frames a block holds
    LzxHistory history;
    // The parse as frames come in. At the best level its items are a first
    // pass with the last block's codes, which picks the blocks; each block
    // is parsed again with its own codes when it is sent.
    LzxParseState parse;
    LzxCosts firstPassCosts;  // the best level's first pass
    LzxRepeats blockRepeats;  // the decoder's repeated distances where the open block starts
    // The open block, not sent yet: its items, where each frame's items
    // end, the repeated distances after each frame, each frame's size, its
    // bytes (for an uncompressed block), and at the best level each frame's
    // match candidates.
    std::vector<LzxItem> items;
    std::vector<size_t> frameItemEnds;
    std::vector<LzxRepeats> frameRepeats;
    std::vector<uint32_t> frameSizes;
    std::vector<uint8_t> blockBytes;
    std::vector<LzxFrameCandidates> candidates;
    // What the open block costs as one block, and its codes.
    LzxSymbolCounts blockCounts;
    LzxBlockCodes blockCodes;
    uint64_t blockBits;
    bool blockCoded;          // coded costs less than uncompressed
    uint8_t lengths[kLzxMaxMainSymbols + kLzxLengthSymbols];  // the decoder's trees: main, then length
    std::vector<LzxChunk> chunks;  // finished frames, for the caller to take
    std::vector<LzxBlockRecord> blocks;  // every block sent, in order
};

// Starts a folder of folderBytes bytes.
void StartLzx(LzxEncoder* encoder, const LzxSettings& settings, uint64_t folderBytes);

// Adds the folder's next frame: 32 KiB, the last one of the folder less.
// Its data is translated in place when E8 translation is on.
void AddLzxFrame(LzxEncoder* encoder, uint8_t* data, uint32_t size);

// Sends what is gathered; after the last frame.
void FinishLzx(LzxEncoder* encoder);
