#include "vuvpack/lzx/lzx_block_cost.h"

#include <string.h>

#include "vuvpack/lzx/huffman_code.h"

static const uint32_t kBlockHeaderBits = 3 + 24;

void ClearCounts(LzxSymbolCounts* counts) { memset(counts, 0, sizeof *counts); }

void CountItems(const LzxItem* items, size_t count, uint32_t bytes, LzxSymbolCounts* counts) {
    for (size_t i = 0; i < count; i++) {
        const LzxItem& item = items[i];
        counts->main[item.mainSymbol]++;
        if (item.mainSymbol >= kLzxLiteralCount && (item.mainSymbol & 7) == 7) counts->length[item.lengthSymbol]++;
        counts->footerBits += item.footerBits;
        if (item.footerBits >= 3) {
            counts->aligned[item.footer & 7]++;
            counts->alignedFooters++;
        }
    }
    counts->bytes += bytes;
}

void AddCounts(const LzxSymbolCounts& from, LzxSymbolCounts* to) {
    for (int s = 0; s < kLzxMaxMainSymbols; s++) to->main[s] += from.main[s];
    for (int s = 0; s < kLzxLengthSymbols; s++) to->length[s] += from.length[s];
    for (int s = 0; s < 8; s++) to->aligned[s] += from.aligned[s];
    to->footerBits += from.footerBits;
    to->alignedFooters += from.alignedFooters;
    to->bytes += from.bytes;
}

void BuildLzxBlockCodes(const LzxSymbolCounts& counts, int mainSymbols, LzxBlockCodes* codes) {
    uint8_t* mainLengths = codes->lengths;
    uint8_t* lengthLengths = codes->lengths + kLzxMaxMainSymbols;
    memset(codes->lengths, 0, sizeof codes->lengths);
    BuildCodeLengths(counts.main, mainSymbols, kLzxMaxCodeLength, mainLengths);
    BuildCodeLengths(counts.length, kLzxLengthSymbols, kLzxMaxCodeLength, lengthLengths);
    // Without long matches an empty length tree would do, but a complete
    // one is accepted by every decoder.
    bool lengthTreeEmpty = true;
    for (int s = 0; s < kLzxLengthSymbols; s++) lengthTreeEmpty = lengthTreeEmpty && lengthLengths[s] == 0;
    if (lengthTreeEmpty) lengthLengths[0] = lengthLengths[1] = 1;
    BuildCodeLengths(counts.aligned, 8, 7, codes->aligned);
    int64_t saved = -8 * 3;
    for (int s = 0; s < 8; s++) saved += (int64_t)counts.aligned[s] * (3 - codes->aligned[s]);
    codes->useAligned = saved > 0;
}

void MakeTreeSection(const uint8_t* previous, const uint8_t* lengths, int start, int end, LzxTreeSection* section) {
    section->tokens.clear();
    int x = start;
    while (x < end) {
        int run = 0;
        while (x + run < end && lengths[x + run] == 0 && run < 51) run++;
        if (run >= 20) {
            section->tokens.push_back((uint16_t)(18 | ((run - 20) << 8)));
            x += run;
        } else if (run >= 4) {
            section->tokens.push_back((uint16_t)(17 | ((run - 4) << 8)));
            x += run;
        } else {
            section->tokens.push_back((uint16_t)((previous[x] + 17 - lengths[x]) % 17));
            x++;
        }
    }
    uint32_t counts[kLzxPretreeSymbols] = {};
    for (uint16_t token : section->tokens) counts[token & 0xFF]++;
    BuildCodeLengths(counts, kLzxPretreeSymbols, kLzxMaxPretreeLength, section->pretreeLengths);
}

static uint64_t TreeSectionBits(const uint8_t* previous, const uint8_t* lengths, int start, int end,
                                LzxTreeSection* section) {
    MakeTreeSection(previous, lengths, start, end, section);
    uint64_t bits = 4 * kLzxPretreeSymbols;
    for (uint16_t token : section->tokens) {
        int symbol = token & 0xFF;
        bits += section->pretreeLengths[symbol] + (symbol == 17 ? 4 : symbol == 18 ? 5 : 0);
    }
    return bits;
}

uint64_t CodedBlockBits(const LzxSymbolCounts& counts, const LzxBlockCodes& codes, const uint8_t* previous,
                        int mainSymbols) {
    const uint8_t* mainLengths = codes.lengths;
    const uint8_t* lengthLengths = codes.lengths + kLzxMaxMainSymbols;
    LzxTreeSection section;
    uint64_t bits = kBlockHeaderBits;
    bits += TreeSectionBits(previous, mainLengths, 0, kLzxLiteralCount, &section);
    bits += TreeSectionBits(previous, mainLengths, kLzxLiteralCount, mainSymbols, &section);
    bits += TreeSectionBits(previous + kLzxMaxMainSymbols, lengthLengths, 0, kLzxLengthSymbols, &section);
    for (int s = 0; s < mainSymbols; s++) bits += (uint64_t)counts.main[s] * mainLengths[s];
    for (int s = 0; s < kLzxLengthSymbols; s++) bits += (uint64_t)counts.length[s] * lengthLengths[s];
    bits += counts.footerBits;
    if (codes.useAligned) {
        bits += 8 * 3;
        bits -= 3 * (uint64_t)counts.alignedFooters;
        for (int s = 0; s < 8; s++) bits += (uint64_t)counts.aligned[s] * codes.aligned[s];
    }
    return bits;
}

uint64_t UncompressedBlockBits(uint32_t bytes) { return kBlockHeaderBits + 16 + 8 * (12 + (uint64_t)bytes + (bytes & 1)); }
