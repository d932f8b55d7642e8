#include "vuvpack/lzx_encoder.h"

#include <string.h>

#include "vuvpack/cabinet_format.h"
#include "vuvpack/e8_translation.h"
#include "vuvpack/huffman_code.h"

// Frames per block: trees cost a few hundred bytes, so a block spans
// several frames. Blocks always end at a frame's end, so an uncompressed
// block starts a data block and its pad byte never falls between two.
static const uint32_t kFramesPerBlock = 8;
// Passes of the best level's parser over a block: the first with the codes
// of the block before, each next with the codes of the pass before.
static const int kOptimalPasses = 3;
static const LzxLazyTuning kFastTuning = {4, 24, 0};
static const LzxLazyTuning kDefaultTuning = {12, 48, 24};

// A block's codes: main, length, and the aligned tree when it pays.
struct BlockCodes {
    uint8_t lengths[kLzxMaxMainSymbols + kLzxLengthSymbols];  // as LzxEncoder::lengths
    uint8_t aligned[8];
    bool useAligned;
};

void StartLzx(LzxEncoder* encoder, const LzxSettings& settings, uint64_t folderBytes) {
    encoder->settings = settings;
    encoder->mainSymbols = kLzxLiteralCount + kLzxLengthHeaders * LzxPositionSlots(settings.windowBits);
    encoder->e8FileSize = settings.e8 ? (int32_t)(folderBytes < 0x7FFFFFFF ? folderBytes : 0x7FFFFFFF) : 0;
    encoder->headerSent = false;
    encoder->framesDone = 0;
    uint32_t window = 1u << settings.windowBits;
    // The window, the frames of a block waiting for the best level's parser,
    // and room to move less often.
    encoder->history.data.assign((size_t)2 * window + (kFramesPerBlock + 1) * kLzxFrameSize, 0);
    encoder->history.start = 0;
    encoder->history.end = 0;
    StartMatchFinder(&encoder->parse.finder, settings.windowBits, settings.level == kLzxLevelBest);
    encoder->parse.repeats = LzxRepeats{{1, 1, 1}};
    encoder->parse.maxDistance = LzxMaxDistance(settings.windowBits);
    encoder->blockRepeats = encoder->parse.repeats;
    encoder->items.clear();
    encoder->frameItemEnds.clear();
    encoder->frameSizes.clear();
    encoder->blockBytes.clear();
    memset(encoder->lengths, 0, sizeof encoder->lengths);
    encoder->chunks.clear();
}

// Keeps the last window of bytes before the block's first frame and makes
// room for a frame.
static void MakeRoom(LzxHistory* history, uint32_t window, uint32_t pending, uint32_t size) {
    uint32_t held = history->end - history->start;
    if (held + size <= history->data.size()) return;
    uint32_t keep = held < window + pending ? held : window + pending;
    memmove(history->data.data(), history->data.data() + (held - keep), keep);
    history->start = history->end - keep;
}

static void SendHeader(LzxEncoder* encoder, LzxBitWriter* writer) {
    if (encoder->headerSent) return;
    encoder->headerSent = true;
    if (encoder->e8FileSize == 0) {
        PutBits(writer, 0, 1);
        return;
    }
    PutBits(writer, 1, 1);
    PutLongBits(writer, (uint32_t)encoder->e8FileSize, 32);
}

static void PutBlockHeader(LzxBitWriter* writer, int type, uint32_t size) {
    PutBits(writer, (uint32_t)type, 3);
    PutLongBits(writer, size, 24);
}

// The pretree's codes for lengths[start, end) sent against previous[]:
// runs of zeros as 17 (4-19) and 18 (20-51), others as (old - new) mod 17.
static void PretreeTokens(const uint8_t* previous, const uint8_t* lengths, int start, int end,
                          std::vector<uint16_t>* tokens) {
    int x = start;
    while (x < end) {
        int run = 0;
        while (x + run < end && lengths[x + run] == 0 && run < 51) run++;
        if (run >= 20) {
            tokens->push_back((uint16_t)(18 | ((run - 20) << 8)));
            x += run;
        } else if (run >= 4) {
            tokens->push_back((uint16_t)(17 | ((run - 4) << 8)));
            x += run;
        } else {
            tokens->push_back((uint16_t)((previous[x] + 17 - lengths[x]) % 17));
            x++;
        }
    }
}

static void PutTreeSection(LzxBitWriter* writer, const uint8_t* previous, const uint8_t* lengths, int start,
                           int end) {
    std::vector<uint16_t> tokens;
    PretreeTokens(previous, lengths, start, end, &tokens);
    uint32_t counts[kLzxPretreeSymbols] = {};
    for (uint16_t token : tokens) counts[token & 0xFF]++;
    uint8_t pretreeLengths[kLzxPretreeSymbols];
    uint16_t codes[kLzxPretreeSymbols];
    BuildCodeLengths(counts, kLzxPretreeSymbols, kLzxMaxPretreeLength, pretreeLengths);
    BuildCanonicalCodes(pretreeLengths, kLzxPretreeSymbols, codes);
    for (uint8_t length : pretreeLengths) PutBits(writer, length, 4);
    for (uint16_t token : tokens) {
        int symbol = token & 0xFF;
        PutBits(writer, codes[symbol], pretreeLengths[symbol]);
        if (symbol == 17) PutBits(writer, token >> 8, 4);
        if (symbol == 18) PutBits(writer, token >> 8, 5);
    }
}

// Cuts the bytes written since the last cut as the next frame's data block.
static void CutFrame(LzxBitWriter* writer, size_t* cut, uint32_t frameSize, std::vector<LzxChunk>* chunks) {
    chunks->push_back(LzxChunk{std::vector<uint8_t>(writer->bytes.begin() + *cut, writer->bytes.end()), frameSize});
    *cut = writer->bytes.size();
}

static void CountSymbols(const std::vector<LzxItem>& items, uint32_t* mainCounts, uint32_t* lengthCounts,
                         uint32_t* alignedCounts) {
    for (const LzxItem& item : items) {
        mainCounts[item.mainSymbol]++;
        if (item.mainSymbol >= kLzxLiteralCount && (item.mainSymbol & 7) == 7) lengthCounts[item.lengthSymbol]++;
        if (item.footerBits >= 3) alignedCounts[item.footer & 7]++;
    }
}

// The codes of the items; an aligned tree when it saves more than its own
// 24 bits.
static void BuildBlockCodes(const std::vector<LzxItem>& items, int mainSymbols, BlockCodes* codes) {
    uint32_t mainCounts[kLzxMaxMainSymbols] = {};
    uint32_t lengthCounts[kLzxLengthSymbols] = {};
    uint32_t alignedCounts[8] = {};
    CountSymbols(items, mainCounts, lengthCounts, alignedCounts);
    uint8_t* mainLengths = codes->lengths;
    uint8_t* lengthLengths = codes->lengths + kLzxMaxMainSymbols;
    memset(codes->lengths, 0, sizeof codes->lengths);
    BuildCodeLengths(mainCounts, mainSymbols, kLzxMaxCodeLength, mainLengths);
    BuildCodeLengths(lengthCounts, kLzxLengthSymbols, kLzxMaxCodeLength, lengthLengths);
    // Without long matches an empty length tree would do, but a complete
    // one is accepted by every decoder.
    bool lengthTreeEmpty = true;
    for (int s = 0; s < kLzxLengthSymbols; s++) lengthTreeEmpty = lengthTreeEmpty && lengthLengths[s] == 0;
    if (lengthTreeEmpty) lengthLengths[0] = lengthLengths[1] = 1;
    BuildCodeLengths(alignedCounts, 8, 7, codes->aligned);
    int64_t saved = -8 * 3;
    for (int s = 0; s < 8; s++) saved += (int64_t)alignedCounts[s] * (3 - codes->aligned[s]);
    codes->useAligned = saved > 0;
}

// The block as a verbatim or aligned-offset block; false when a frame's
// data block would be too large for a cabinet.
static bool WriteCoded(LzxEncoder* encoder, uint32_t blockSize, const BlockCodes& block,
                       std::vector<LzxChunk>* chunks) {
    const uint8_t* mainLengths = block.lengths;
    const uint8_t* lengthLengths = block.lengths + kLzxMaxMainSymbols;
    uint16_t mainCodes[kLzxMaxMainSymbols], lengthCodes[kLzxLengthSymbols], alignedCodes[8];
    BuildCanonicalCodes(mainLengths, encoder->mainSymbols, mainCodes);
    BuildCanonicalCodes(lengthLengths, kLzxLengthSymbols, lengthCodes);
    BuildCanonicalCodes(block.aligned, 8, alignedCodes);

    LzxBitWriter writer;
    size_t cut = 0;
    SendHeader(encoder, &writer);
    PutBlockHeader(&writer, block.useAligned ? kLzxBlockAligned : kLzxBlockVerbatim, blockSize);
    if (block.useAligned) {
        for (uint8_t length : block.aligned) PutBits(&writer, length, 3);
    }
    const uint8_t* previousMain = encoder->lengths;
    const uint8_t* previousLength = encoder->lengths + kLzxMaxMainSymbols;
    PutTreeSection(&writer, previousMain, mainLengths, 0, kLzxLiteralCount);
    PutTreeSection(&writer, previousMain, mainLengths, kLzxLiteralCount, encoder->mainSymbols);
    PutTreeSection(&writer, previousLength, lengthLengths, 0, kLzxLengthSymbols);
    size_t frame = 0;
    for (size_t i = 0; i <= encoder->items.size(); i++) {
        while (frame < encoder->frameItemEnds.size() && encoder->frameItemEnds[frame] == i) {
            AlignToWord(&writer);
            if (writer.bytes.size() - cut > kMaxDataBlockCompressed) return false;
            CutFrame(&writer, &cut, encoder->frameSizes[frame], chunks);
            frame++;
        }
        if (i == encoder->items.size()) break;
        const LzxItem& item = encoder->items[i];
        PutBits(&writer, mainCodes[item.mainSymbol], mainLengths[item.mainSymbol]);
        if (item.mainSymbol >= kLzxLiteralCount && (item.mainSymbol & 7) == 7) {
            PutBits(&writer, lengthCodes[item.lengthSymbol], lengthLengths[item.lengthSymbol]);
        }
        if (block.useAligned && item.footerBits >= 3) {
            PutLongBits(&writer, item.footer >> 3, item.footerBits - 3);
            uint32_t low = item.footer & 7;
            PutBits(&writer, alignedCodes[low], block.aligned[low]);
        } else if (item.footerBits) {
            PutLongBits(&writer, item.footer, item.footerBits);
        }
    }
    return true;
}

// The block's bytes as they are, the repeated distances of its start first.
static void WriteUncompressed(LzxEncoder* encoder, uint32_t blockSize, std::vector<LzxChunk>* chunks) {
    LzxBitWriter writer;
    size_t cut = 0;
    SendHeader(encoder, &writer);
    PutBlockHeader(&writer, kLzxBlockUncompressed, blockSize);
    // 1 to 16 bits up to the next word: the decoder drops the word it is in.
    PutBits(&writer, 0, writer.pendingCount > 0 ? 16 - writer.pendingCount : 16);
    for (uint32_t distance : encoder->blockRepeats.distance) {
        uint8_t bytes[4];
        PutLe32(bytes, distance);
        writer.bytes.insert(writer.bytes.end(), bytes, bytes + 4);
    }
    size_t offset = 0;
    for (uint32_t frameSize : encoder->frameSizes) {
        writer.bytes.insert(writer.bytes.end(), encoder->blockBytes.begin() + offset,
                            encoder->blockBytes.begin() + offset + frameSize);
        offset += frameSize;
        if (offset == blockSize && (blockSize & 1)) writer.bytes.push_back(0);
        CutFrame(&writer, &cut, frameSize, chunks);
    }
}

static size_t ChunkBytes(const std::vector<LzxChunk>& chunks) {
    size_t total = 0;
    for (const LzxChunk& chunk : chunks) total += chunk.bytes.size();
    return total;
}

// The best level's items for the block's frames, kOptimalPasses times.
static void ParseBlockOptimal(LzxEncoder* encoder) {
    LzxCosts costs;
    bool coded = false;
    for (int s = 0; s < kLzxMaxMainSymbols && !coded; s++) coded = encoder->lengths[s] != 0;
    if (coded) {
        CostsFromLengths(encoder->lengths, encoder->lengths + kLzxMaxMainSymbols, nullptr, &costs);
    } else {
        StartingCosts(&costs);
    }
    for (int pass = 0; pass < kOptimalPasses; pass++) {
        if (pass > 0) {
            BlockCodes codes;
            BuildBlockCodes(encoder->items, encoder->mainSymbols, &codes);
            CostsFromLengths(codes.lengths, codes.lengths + kLzxMaxMainSymbols,
                             codes.useAligned ? codes.aligned : nullptr, &costs);
        }
        encoder->parse.repeats = encoder->blockRepeats;
        encoder->items.clear();
        encoder->frameItemEnds.clear();
        for (size_t frame = 0; frame < encoder->frameSizes.size(); frame++) {
            ParseOptimal(encoder->candidates[frame], encoder->history, costs, &encoder->parse.repeats,
                         &encoder->items);
            encoder->frameItemEnds.push_back(encoder->items.size());
        }
    }
}

static void SendBlock(LzxEncoder* encoder) {
    if (encoder->frameSizes.empty()) return;
    uint32_t blockSize = (uint32_t)encoder->blockBytes.size();
    bool headerSent = encoder->headerSent;
    if (encoder->settings.level == kLzxLevelBest) ParseBlockOptimal(encoder);
    BlockCodes codes;
    BuildBlockCodes(encoder->items, encoder->mainSymbols, &codes);
    std::vector<LzxChunk> verbatim;
    bool fits = WriteCoded(encoder, blockSize, codes, &verbatim);
    // The uncompressed block's header, distances and data, about.
    size_t uncompressedBytes = blockSize + 20;
    if (fits && ChunkBytes(verbatim) < uncompressedBytes) {
        memcpy(encoder->lengths, codes.lengths, sizeof encoder->lengths);
        encoder->chunks.insert(encoder->chunks.end(), verbatim.begin(), verbatim.end());
    } else {
        encoder->headerSent = headerSent;
        WriteUncompressed(encoder, blockSize, &encoder->chunks);
        encoder->parse.repeats = encoder->blockRepeats;
    }
    encoder->blockRepeats = encoder->parse.repeats;
    encoder->items.clear();
    encoder->frameItemEnds.clear();
    encoder->frameSizes.clear();
    encoder->blockBytes.clear();
}

void AddLzxFrame(LzxEncoder* encoder, uint8_t* data, uint32_t size) {
    if (encoder->e8FileSize != 0 && encoder->framesDone < encoder->settings.e8FrameLimit) {
        TranslateE8Frame(data, size, encoder->history.end, encoder->e8FileSize);
    }
    LzxHistory* history = &encoder->history;
    MakeRoom(history, 1u << encoder->settings.windowBits, (uint32_t)encoder->blockBytes.size(), size);
    memcpy(history->data.data() + (history->end - history->start), data, size);
    uint32_t start = history->end;
    history->end += size;
    switch (encoder->settings.level) {
    case kLzxLevelFast:
    case kLzxLevelDefault:
        ParseLazy(&encoder->parse, encoder->settings.level == kLzxLevelFast ? kFastTuning : kDefaultTuning, *history,
                  start, history->end, &encoder->items);
        encoder->frameItemEnds.push_back(encoder->items.size());
        break;
    case kLzxLevelBest:
        if (encoder->candidates.size() <= encoder->frameSizes.size()) encoder->candidates.emplace_back();
        GatherCandidates(&encoder->parse.finder, *history, start, history->end, encoder->parse.maxDistance,
                         &encoder->candidates[encoder->frameSizes.size()]);
        break;
    }
    encoder->frameSizes.push_back(size);
    encoder->blockBytes.insert(encoder->blockBytes.end(), data, data + size);
    encoder->framesDone++;
    if (encoder->frameSizes.size() == kFramesPerBlock) SendBlock(encoder);
}

void FinishLzx(LzxEncoder* encoder) { SendBlock(encoder); }
