#include "vuvpack/lzx/lzx_encoder.h"

#include <string.h>

#include <algorithm>

#include "vuvpack/lzx/e8_translation.h"
#include "vuvpack/lzx/huffman_code.h"

// The most frames a block chosen by cost holds: on program files blocks of
// up to 8, 16, 32 or 64 frames come out within 0.05 % of each other, and
// fewer frames waiting hold less memory. Blocks always end at a frame's
// end, so an uncompressed block starts a data block and its pad byte never
// falls between two.
static const uint32_t kMaxBlockFrames = 16;
// The fast level's blocks: fixed, since choosing them by cost takes it a
// third more time (the codes of two blocks per frame) for 2 % less size.
static const uint32_t kFastBlockFrames = 8;
// Passes of the best level's parser over a block: the first, as frames come
// in, with the codes of the block before, each next with the codes of the
// pass before.
static const int kOptimalPasses = 3;
static const LzxLazyTuning kFastTuning = {4, 24, 0};
static const LzxLazyTuning kDefaultTuning = {12, 48, 24};

void StartLzx(LzxEncoder* encoder, const LzxSettings& settings, uint64_t folderBytes) {
    encoder->settings = settings;
    encoder->mainSymbols = kLzxLiteralCount + kLzxLengthHeaders * LzxPositionSlots(settings.windowBits);
    encoder->e8FileSize = settings.e8 ? (int32_t)(folderBytes < 0x7FFFFFFF ? folderBytes : 0x7FFFFFFF) : 0;
    encoder->headerSent = false;
    encoder->framesDone = 0;
    encoder->blockFrames = settings.blockFrames;
    if (settings.blockFrames == 0 && settings.level == kLzxLevelFast) encoder->blockFrames = kFastBlockFrames;
    encoder->maxBlockFrames = encoder->blockFrames != 0 ? encoder->blockFrames : kMaxBlockFrames;
    uint32_t window = 1u << settings.windowBits;
    // The window, the frames of the open block and the newest one, and room
    // to move less often.
    encoder->history.data.assign((size_t)2 * window + (encoder->maxBlockFrames + 2) * kLzxFrameSize, 0);
    encoder->history.start = 0;
    encoder->history.end = 0;
    StartMatchFinder(&encoder->parse.finder, settings.windowBits, settings.level == kLzxLevelBest);
    encoder->parse.repeats = LzxRepeats{{1, 1, 1}};
    encoder->parse.maxDistance = LzxMaxDistance(settings.windowBits);
    StartingCosts(&encoder->firstPassCosts);
    encoder->blockRepeats = encoder->parse.repeats;
    encoder->items.clear();
    encoder->frameItemEnds.clear();
    encoder->frameRepeats.clear();
    encoder->frameSizes.clear();
    encoder->blockBytes.clear();
    memset(encoder->lengths, 0, sizeof encoder->lengths);
    encoder->chunks.clear();
    encoder->blocks.clear();
}

// Keeps the last window of bytes before the open block's first frame and
// makes room for a frame.
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

static void PutTreeSection(LzxBitWriter* writer, const uint8_t* previous, const uint8_t* lengths, int start,
                           int end) {
    LzxTreeSection section;
    MakeTreeSection(previous, lengths, start, end, &section);
    uint16_t codes[kLzxPretreeSymbols];
    BuildCanonicalCodes(section.pretreeLengths, kLzxPretreeSymbols, codes);
    for (uint8_t length : section.pretreeLengths) PutBits(writer, length, 4);
    for (uint16_t token : section.tokens) {
        int symbol = token & 0xFF;
        PutBits(writer, codes[symbol], section.pretreeLengths[symbol]);
        if (symbol == 17) PutBits(writer, token >> 8, 4);
        if (symbol == 18) PutBits(writer, token >> 8, 5);
    }
}

// Cuts the bytes written since the last cut as the next frame's data block.
static void CutFrame(LzxBitWriter* writer, size_t* cut, uint32_t frameSize, std::vector<LzxChunk>* chunks) {
    chunks->push_back(LzxChunk{std::vector<uint8_t>(writer->bytes.begin() + *cut, writer->bytes.end()), frameSize});
    *cut = writer->bytes.size();
}

// The items of a block's frames: frame f's end at itemEnds[f].
struct BlockItems {
    const LzxItem* items;
    const size_t* itemEnds;
    size_t frames;
};

static void CodesOfItems(const LzxEncoder* encoder, const BlockItems& block, LzxBlockCodes* codes) {
    LzxSymbolCounts counts;
    ClearCounts(&counts);
    CountItems(block.items, block.itemEnds[block.frames - 1], 0, &counts);
    BuildLzxBlockCodes(counts, encoder->mainSymbols, codes);
}

// The block as a verbatim or aligned-offset block. Returns the frames
// written: all of them, or the frames before the first whose data block
// would be too large for a cabinet.
static size_t WriteCoded(LzxEncoder* encoder, uint32_t blockSize, const BlockItems& block, const LzxBlockCodes& codes,
                       std::vector<LzxChunk>* chunks) {
    const uint8_t* mainLengths = codes.lengths;
    const uint8_t* lengthLengths = codes.lengths + kLzxMaxMainSymbols;
    uint16_t mainCodes[kLzxMaxMainSymbols], lengthCodes[kLzxLengthSymbols], alignedCodes[8];
    BuildCanonicalCodes(mainLengths, encoder->mainSymbols, mainCodes);
    BuildCanonicalCodes(lengthLengths, kLzxLengthSymbols, lengthCodes);
    BuildCanonicalCodes(codes.aligned, 8, alignedCodes);

    LzxBitWriter writer;
    size_t cut = 0;
    SendHeader(encoder, &writer);
    PutBlockHeader(&writer, codes.useAligned ? kLzxBlockAligned : kLzxBlockVerbatim, blockSize);
    if (codes.useAligned) {
        for (uint8_t length : codes.aligned) PutBits(&writer, length, 3);
    }
    const uint8_t* previousMain = encoder->lengths;
    const uint8_t* previousLength = encoder->lengths + kLzxMaxMainSymbols;
    PutTreeSection(&writer, previousMain, mainLengths, 0, kLzxLiteralCount);
    PutTreeSection(&writer, previousMain, mainLengths, kLzxLiteralCount, encoder->mainSymbols);
    PutTreeSection(&writer, previousLength, lengthLengths, 0, kLzxLengthSymbols);
    size_t item = 0;
    for (size_t frame = 0; frame < block.frames; frame++) {
        for (; item < block.itemEnds[frame]; item++) {
            const LzxItem& it = block.items[item];
            PutBits(&writer, mainCodes[it.mainSymbol], mainLengths[it.mainSymbol]);
            if (it.mainSymbol >= kLzxLiteralCount && (it.mainSymbol & 7) == 7) {
                PutBits(&writer, lengthCodes[it.lengthSymbol], lengthLengths[it.lengthSymbol]);
            }
            if (codes.useAligned && it.footerBits >= 3) {
                PutLongBits(&writer, it.footer >> 3, it.footerBits - 3);
                uint32_t low = it.footer & 7;
                PutBits(&writer, alignedCodes[low], codes.aligned[low]);
            } else if (it.footerBits) {
                PutLongBits(&writer, it.footer, it.footerBits);
            }
        }
        AlignToWord(&writer);
        if (writer.bytes.size() - cut > kLzxMaxChunkBytes) return frame;
        CutFrame(&writer, &cut, encoder->frameSizes[frame], chunks);
    }
    return block.frames;
}

// The block's first frames' bytes as they are, after the repeated distances
// that the items after the block start from.
static void WriteUncompressed(LzxEncoder* encoder, size_t frames, uint32_t blockSize, const LzxRepeats& repeats,
                              std::vector<LzxChunk>* chunks) {
    LzxBitWriter writer;
    size_t cut = 0;
    SendHeader(encoder, &writer);
    PutBlockHeader(&writer, kLzxBlockUncompressed, blockSize);
    // 1 to 16 bits up to the next word: the decoder drops the word it is in.
    PutBits(&writer, 0, writer.pendingCount > 0 ? 16 - writer.pendingCount : 16);
    for (uint32_t distance : repeats.distance) {
        uint8_t bytes[4];
        WriteU32(bytes, distance);
        writer.bytes.insert(writer.bytes.end(), bytes, bytes + 4);
    }
    size_t offset = 0;
    for (size_t frame = 0; frame < frames; frame++) {
        uint32_t frameSize = encoder->frameSizes[frame];
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

// The best level's items for the first frames, parsed again from the
// block's start with the codes of the pass before, into items and
// itemEnds; repeats ends as the decoder's after them.
static void ParseBlockOptimal(LzxEncoder* encoder, size_t frames, std::vector<LzxItem>* items,
                              std::vector<size_t>* itemEnds, LzxRepeats* repeats) {
    BlockItems block = {encoder->items.data(), encoder->frameItemEnds.data(), frames};
    for (int pass = 1; pass < kOptimalPasses; pass++) {
        LzxBlockCodes codes;
        CodesOfItems(encoder, block, &codes);
        LzxCosts costs;
        CostsFromLengths(codes.lengths, codes.lengths + kLzxMaxMainSymbols, codes.useAligned ? codes.aligned : nullptr,
                         &costs);
        std::vector<LzxItem> parsed;
        itemEnds->clear();
        *repeats = encoder->blockRepeats;
        for (size_t frame = 0; frame < frames; frame++) {
            ParseOptimal(encoder->candidates[frame], encoder->history, costs, repeats, &parsed);
            itemEnds->push_back(parsed.size());
        }
        items->swap(parsed);
        block = BlockItems{items->data(), itemEnds->data(), frames};
    }
}

// Drops the first frames, sent, from the open block.
static void DropFrames(LzxEncoder* encoder, size_t frames) {
    size_t itemsSent = encoder->frameItemEnds[frames - 1];
    uint32_t bytesSent = 0;
    for (size_t frame = 0; frame < frames; frame++) bytesSent += encoder->frameSizes[frame];
    encoder->items.erase(encoder->items.begin(), encoder->items.begin() + itemsSent);
    encoder->frameItemEnds.erase(encoder->frameItemEnds.begin(), encoder->frameItemEnds.begin() + frames);
    for (size_t& end : encoder->frameItemEnds) end -= itemsSent;
    encoder->frameRepeats.erase(encoder->frameRepeats.begin(), encoder->frameRepeats.begin() + frames);
    encoder->frameSizes.erase(encoder->frameSizes.begin(), encoder->frameSizes.begin() + frames);
    encoder->blockBytes.erase(encoder->blockBytes.begin(), encoder->blockBytes.begin() + bytesSent);
    if (encoder->settings.level == kLzxLevelBest) {
        // Kept, not freed: the next frames reuse their buffers.
        std::rotate(encoder->candidates.begin(), encoder->candidates.begin() + frames,
                    encoder->candidates.begin() + frames + encoder->frameSizes.size());
    }
}

// Sends the open block's first frames as one block: coded, or as they are
// when that is smaller. When a frame's data block would be too large, the
// block ends before that frame and the frame starts the next, so one frame
// never sends the others as they are; a frame too large alone goes as it is.
static void SendBlock(LzxEncoder* encoder, size_t frames) {
    uint32_t blockSize = 0;
    for (size_t frame = 0; frame < frames; frame++) blockSize += encoder->frameSizes[frame];
    bool headerSent = encoder->headerSent;
    std::vector<LzxItem> parsed;
    std::vector<size_t> parsedEnds;
    LzxRepeats repeats = encoder->frameRepeats[frames - 1];
    BlockItems block = {encoder->items.data(), encoder->frameItemEnds.data(), frames};
    if (encoder->settings.level == kLzxLevelBest) {
        ParseBlockOptimal(encoder, frames, &parsed, &parsedEnds, &repeats);
        block = BlockItems{parsed.data(), parsedEnds.data(), frames};
    }
    LzxBlockCodes codes;
    CodesOfItems(encoder, block, &codes);
    std::vector<LzxChunk> coded;
    size_t fitting = WriteCoded(encoder, blockSize, block, codes, &coded);
    if (fitting < frames && frames > 1) {
        encoder->headerSent = headerSent;
        size_t first = fitting > 0 ? fitting : 1;
        SendBlock(encoder, first);
        SendBlock(encoder, frames - first);
        return;
    }
    // The uncompressed block's header, distances and data, about.
    size_t uncompressedBytes = blockSize + 20;
    if (fitting == frames && ChunkBytes(coded) < uncompressedBytes) {
        memcpy(encoder->lengths, codes.lengths, sizeof encoder->lengths);
        encoder->chunks.insert(encoder->chunks.end(), coded.begin(), coded.end());
        encoder->blocks.push_back(LzxBlockRecord{(uint32_t)frames, codes.useAligned ? kLzxBlockAligned
                                                                                    : kLzxBlockVerbatim});
        if (encoder->settings.level == kLzxLevelBest) {
            CostsFromLengths(encoder->lengths, encoder->lengths + kLzxMaxMainSymbols, nullptr,
                             &encoder->firstPassCosts);
        }
    } else {
        encoder->headerSent = headerSent;
        WriteUncompressed(encoder, frames, blockSize, repeats, &encoder->chunks);
        encoder->blocks.push_back(LzxBlockRecord{(uint32_t)frames, kLzxBlockUncompressed});
    }
    encoder->blockRepeats = repeats;
    DropFrames(encoder, frames);
}

// What the counts cost as a block after the trees `previous`: coded with
// codes, or as they are when that is smaller.
static uint64_t BlockBits(const LzxEncoder* encoder, const LzxSymbolCounts& counts, const uint8_t* previous,
                          LzxBlockCodes* codes, bool* coded) {
    BuildLzxBlockCodes(counts, encoder->mainSymbols, codes);
    uint64_t codedBits = CodedBlockBits(counts, *codes, previous, encoder->mainSymbols);
    uint64_t uncompressedBits = UncompressedBlockBits(counts.bytes);
    *coded = codedBits < uncompressedBits;
    return *coded ? codedBits : uncompressedBits;
}

// The newest frame joins the open block, or the open block is sent and the
// newest frame opens the next: whichever costs fewer bits, the newest frame
// as a block of its own sent after the open block's trees. With a fixed
// block length, the open block is sent when it is full.
static void ChooseBlockEnd(LzxEncoder* encoder) {
    size_t frames = encoder->frameSizes.size();
    if (encoder->blockFrames != 0) {
        if (frames > encoder->blockFrames) SendBlock(encoder, frames - 1);
        return;
    }
    size_t newestStart = frames > 1 ? encoder->frameItemEnds[frames - 2] : 0;
    LzxSymbolCounts newest;
    ClearCounts(&newest);
    CountItems(encoder->items.data() + newestStart, encoder->items.size() - newestStart, encoder->frameSizes.back(),
               &newest);
    if (frames > 1) {
        LzxSymbolCounts merged = encoder->blockCounts;
        AddCounts(newest, &merged);
        LzxBlockCodes mergedCodes, newestCodes;
        bool mergedCoded, newestCoded;
        uint64_t mergedBits = BlockBits(encoder, merged, encoder->lengths, &mergedCodes, &mergedCoded);
        const uint8_t* afterBlock = encoder->blockCoded ? encoder->blockCodes.lengths : encoder->lengths;
        uint64_t newestBits = BlockBits(encoder, newest, afterBlock, &newestCodes, &newestCoded);
        if (frames <= encoder->maxBlockFrames && mergedBits <= encoder->blockBits + newestBits) {
            encoder->blockCounts = merged;
            encoder->blockCodes = mergedCodes;
            encoder->blockBits = mergedBits;
            encoder->blockCoded = mergedCoded;
            return;
        }
        SendBlock(encoder, frames - 1);
    }
    encoder->blockCounts = newest;
    encoder->blockBits = BlockBits(encoder, newest, encoder->lengths, &encoder->blockCodes, &encoder->blockCoded);
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
    size_t frame = encoder->frameSizes.size();
    switch (encoder->settings.level) {
    case kLzxLevelFast:
    case kLzxLevelDefault:
        ParseLazy(&encoder->parse, encoder->settings.level == kLzxLevelFast ? kFastTuning : kDefaultTuning, *history,
                  start, history->end, &encoder->items);
        break;
    case kLzxLevelBest:
        if (encoder->candidates.size() <= frame) encoder->candidates.emplace_back();
        GatherCandidates(&encoder->parse.finder, *history, start, history->end, encoder->parse.maxDistance,
                         &encoder->candidates[frame]);
        ParseOptimal(encoder->candidates[frame], *history, encoder->firstPassCosts, &encoder->parse.repeats,
                     &encoder->items);
        break;
    }
    encoder->frameItemEnds.push_back(encoder->items.size());
    encoder->frameRepeats.push_back(encoder->parse.repeats);
    encoder->frameSizes.push_back(size);
    encoder->blockBytes.insert(encoder->blockBytes.end(), data, data + size);
    encoder->framesDone++;
    ChooseBlockEnd(encoder);
}

void FinishLzx(LzxEncoder* encoder) {
    if (!encoder->frameSizes.empty()) SendBlock(encoder, encoder->frameSizes.size());
}
