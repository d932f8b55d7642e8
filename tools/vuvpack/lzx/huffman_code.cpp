#include "vuvpack/lzx/huffman_code.h"

#include <algorithm>
#include <memory>
#include <vector>

struct MergeItem {
    uint64_t weight;
    bool leaf;
};

void BuildCodeLengths(const uint32_t* counts, int symbolCount, int maxLength, uint8_t* lengths) {
    std::vector<int> used;
    for (int s = 0; s < symbolCount; s++) {
        lengths[s] = 0;
        if (counts[s] != 0) used.push_back(s);
    }
    if (used.empty()) return;
    if (used.size() == 1) {
        lengths[used[0]] = 1;
        lengths[used[0] == 0 ? 1 : 0] = 1;
        return;
    }
    // By count, ties in symbol order.
    std::sort(used.begin(), used.end(),
              [counts](int a, int b) { return counts[a] < counts[b] || (counts[a] == counts[b] && a < b); });
    size_t n = used.size();

    // Level maxLength - 1 holds the leaves alone; each level above merges
    // the leaves with the pairs of the level below. All levels in one
    // allocation: a level holds at most 2n - 1 items.
    size_t stride = 2 * n;
    // Not cleared: each level is written before it is read.
    std::unique_ptr<MergeItem[]> levels(new MergeItem[(size_t)maxLength * stride]);
    std::vector<size_t> levelSizes(maxLength);
    MergeItem* bottom = levels.get() + (size_t)(maxLength - 1) * stride;
    for (size_t i = 0; i < n; i++) bottom[i] = {counts[used[i]], true};
    levelSizes[maxLength - 1] = n;
    for (int level = maxLength - 2; level >= 0; level--) {
        const MergeItem* below = levels.get() + (size_t)(level + 1) * stride;
        MergeItem* merged = levels.get() + (size_t)level * stride;
        size_t leaf = 0, pair = 0, pairs = levelSizes[level + 1] / 2, size = 0;
        while (leaf < n || pair < pairs) {
            uint64_t pairWeight = pair < pairs ? below[2 * pair].weight + below[2 * pair + 1].weight : 0;
            if (leaf < n && (pair == pairs || counts[used[leaf]] <= pairWeight)) {
                merged[size++] = {counts[used[leaf++]], true};
            } else {
                merged[size++] = {pairWeight, false};
                pair++;
            }
        }
        levelSizes[level] = size;
    }
    // The first 2n - 2 items of the top level; each leaf among the chosen
    // items of a level adds one bit to its symbol's length.
    size_t chosen = 2 * n - 2;
    for (int level = 0; level < maxLength && chosen > 0; level++) {
        size_t leaves = 0, pairs = 0;
        for (size_t i = 0; i < chosen; i++) {
            if (levels[(size_t)level * stride + i].leaf) {
                lengths[used[leaves++]]++;
            } else {
                pairs++;
            }
        }
        chosen = 2 * pairs;
    }
}

void BuildCanonicalCodes(const uint8_t* lengths, int symbolCount, uint16_t* codes) {
    uint32_t perLength[17] = {};
    for (int s = 0; s < symbolCount; s++) perLength[lengths[s]]++;
    perLength[0] = 0;
    uint32_t next[17] = {};
    uint32_t code = 0;
    for (int length = 1; length <= 16; length++) {
        code = (code + perLength[length - 1]) << 1;
        next[length] = code;
    }
    for (int s = 0; s < symbolCount; s++) codes[s] = lengths[s] ? (uint16_t)next[lengths[s]]++ : 0;
}
