#include "vuvpack/lzx/lzx_optimal_parser.h"

#include <algorithm>

static const int kTreeDepth = 48;          // nodes visited per position
static const uint32_t kNiceLength = 160;  // the finder stops here; the match's inside is not searched
static const uint32_t kLongPath = 64;     // from this length only the whole match is a path
static const uint32_t kUnusedMainCost = 14;
static const uint32_t kUnusedLengthCost = 11;
static const uint32_t kNoPath = 0xFFFFFFFF;

void GatherCandidates(LzxMatchFinder* finder, const LzxHistory& history, uint32_t start, uint32_t end,
                      uint32_t maxDistance, LzxFrameCandidates* candidates) {
    candidates->start = start;
    candidates->size = end - start;
    candidates->first.clear();
    candidates->matches.clear();
    uint32_t skipTo = start;
    for (uint32_t position = start; position < end; position++) {
        candidates->first.push_back((uint32_t)candidates->matches.size());
        if (position < skipTo) continue;
        uint32_t maxLength = std::min(end - position, kLzxMaxMatch);
        FindMatches(finder, history, position, maxLength, maxDistance, kTreeDepth, kNiceLength,
                    &candidates->matches);
        uint32_t found = (uint32_t)candidates->matches.size() - candidates->first.back();
        if (found != 0 && candidates->matches.back().length >= kNiceLength) {
            skipTo = position + candidates->matches.back().length;
        }
    }
    candidates->first.push_back((uint32_t)candidates->matches.size());
    InsertPositions(finder, history, end);
}

void CostsFromLengths(const uint8_t* mainLengths, const uint8_t* lengthLengths, const uint8_t* alignedLengths,
                      LzxCosts* costs) {
    for (int s = 0; s < kLzxMaxMainSymbols; s++) costs->main[s] = mainLengths[s] ? mainLengths[s] : kUnusedMainCost;
    for (int s = 0; s < kLzxLengthSymbols; s++) {
        costs->length[s] = lengthLengths[s] ? lengthLengths[s] : kUnusedLengthCost;
    }
    for (int s = 0; s < 8; s++) costs->aligned[s] = alignedLengths && alignedLengths[s] ? alignedLengths[s] : 3;
}

void StartingCosts(LzxCosts* costs) {
    for (int s = 0; s < kLzxMaxMainSymbols; s++) {
        // Literals near 8 bits; matches dearer the farther and the longer.
        costs->main[s] = s < kLzxLiteralCount ? 8 : 8 + (uint32_t)(s - kLzxLiteralCount) / 64 + (s & 7) / 3;
    }
    for (int s = 0; s < kLzxLengthSymbols; s++) costs->length[s] = 5 + (uint32_t)s / 16;
    for (int s = 0; s < 8; s++) costs->aligned[s] = 3;
}

namespace {

struct PathNode {
    uint32_t cost;
    uint32_t length;    // of the step that reaches here: 1 a literal, 2+ a match
    uint32_t distance;
    LzxRepeats repeats; // after that step
};

inline uint32_t LengthCost(const LzxCosts& costs, int slot, uint32_t length) {
    uint32_t header = length - kLzxMinMatch;
    int base = kLzxLiteralCount + slot * kLzxLengthHeaders;
    if (header < kLzxLengthHeaders - 1) return costs.main[base + header];
    return costs.main[base + kLzxLengthHeaders - 1] + costs.length[header - (kLzxLengthHeaders - 1)];
}

inline void Reach(PathNode* node, uint32_t cost, uint32_t length, uint32_t distance, const LzxRepeats& repeats) {
    if (cost >= node->cost) return;
    node->cost = cost;
    node->length = length;
    node->distance = distance;
    node->repeats = repeats;
}

}  // namespace

void ParseOptimal(const LzxFrameCandidates& candidates, const LzxHistory& history, const LzxCosts& costs,
                  LzxRepeats* repeats, std::vector<LzxItem>* items) {
    uint32_t size = candidates.size;
    std::vector<PathNode> nodes(size + 1, PathNode{kNoPath, 0, 0, {{0, 0, 0}}});
    nodes[0].cost = 0;
    nodes[0].repeats = *repeats;
    for (uint32_t i = 0; i < size; i++) {
        const PathNode node = nodes[i];
        uint32_t position = candidates.start + i;
        const uint8_t* here = history.At(position);
        Reach(&nodes[i + 1], node.cost + costs.main[here[0]], 1, 0, node.repeats);
        uint32_t maxLength = std::min(size - i, kLzxMaxMatch);
        if (maxLength < kLzxMinMatch) continue;
        const uint32_t* r = node.repeats.distance;
        for (int k = 0; k < 3; k++) {
            uint32_t distance = r[k];
            if (distance > position || (k > 0 && distance == r[0]) || (k == 2 && distance == r[1])) continue;
            uint32_t length = MatchLength(history, position, distance, maxLength);
            if (length < kLzxMinMatch) continue;
            LzxRepeats next = node.repeats;
            std::swap(next.distance[0], next.distance[k]);
            for (uint32_t l = length >= kLongPath ? length : kLzxMinMatch; l <= length; l++) {
                Reach(&nodes[i + l], node.cost + LengthCost(costs, k, l), l, distance, next);
            }
        }
        uint32_t shorter = kLzxMinMatch;
        for (uint32_t m = candidates.first[i]; m < candidates.first[i + 1]; m++) {
            LzxMatch match = candidates.matches[m];
            if (match.distance == r[0] || match.distance == r[1] || match.distance == r[2]) {
                shorter = match.length;
                continue;
            }
            int footerBits;
            uint32_t footer;
            int slot = LzxDistanceSlot(match.distance, &footerBits, &footer);
            uint32_t footerCost = footerBits >= 3 ? footerBits - 3 + costs.aligned[footer & 7] : (uint32_t)footerBits;
            LzxRepeats next = {{match.distance, r[0], r[1]}};
            for (uint32_t l = match.length >= kLongPath ? match.length : shorter + 1; l <= match.length; l++) {
                Reach(&nodes[i + l], node.cost + LengthCost(costs, slot, l) + footerCost, l, match.distance, next);
            }
            shorter = match.length;
        }
    }
    std::vector<uint32_t> steps;
    for (uint32_t at = size; at > 0; at -= nodes[at].length) steps.push_back(at);
    for (size_t s = steps.size(); s-- > 0;) {
        const PathNode& node = nodes[steps[s]];
        uint32_t from = steps[s] - node.length;
        if (node.length == 1) {
            items->push_back(LzxLiteralItem(*history.At(candidates.start + from)));
        } else {
            items->push_back(LzxMatchItem(node.length, node.distance, repeats));
        }
    }
}
