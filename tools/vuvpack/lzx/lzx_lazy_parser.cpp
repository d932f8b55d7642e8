#include "vuvpack/lzx/lzx_lazy_parser.h"

static const uint32_t kFarForShortMatch = 4096;

struct Choice {
    uint32_t length;  // 0: a literal
    uint32_t distance;
    uint32_t score;   // length, and a little more for a repeated distance
};

// The best match at position: a repeated distance of 2+ bytes or a new
// distance of 3+ (a far 3-byte match costs more than its literals).
static Choice ChooseAt(LzxParseState* state, const LzxLazyTuning& tuning, const LzxHistory& history,
                       uint32_t position, uint32_t end) {
    uint32_t maxLength = end - position < kLzxMaxMatch ? end - position : kLzxMaxMatch;
    Choice best = {0, 0, 0};
    LzxMatch found = FindLongestMatch(&state->finder, history, position, maxLength, state->maxDistance,
                                      tuning.chainDepth, tuning.niceLength);
    if (found.length >= 3 && (found.length > 3 || found.distance <= kFarForShortMatch)) {
        best = Choice{found.length, found.distance, 2 * found.length};
    }
    if (maxLength < kLzxMinMatch) return best;
    for (uint32_t distance : state->repeats.distance) {
        if (distance > position) continue;
        uint32_t length = MatchLength(history, position, distance, maxLength);
        if (length >= kLzxMinMatch && 2 * length + 1 > best.score) best = Choice{length, distance, 2 * length + 1};
    }
    return best;
}

void ParseLazy(LzxParseState* state, const LzxLazyTuning& tuning, const LzxHistory& history, uint32_t start,
               uint32_t end, std::vector<LzxItem>* items) {
    uint32_t position = start;
    while (position < end) {
        Choice current = ChooseAt(state, tuning, history, position, end);
        while (current.length != 0 && current.length < tuning.lazyLength && position + 1 < end) {
            Choice next = ChooseAt(state, tuning, history, position + 1, end);
            if (next.score <= current.score) break;
            items->push_back(LzxLiteralItem(*history.At(position)));
            position++;
            current = next;
        }
        if (current.length == 0) {
            items->push_back(LzxLiteralItem(*history.At(position)));
            position++;
            continue;
        }
        items->push_back(LzxMatchItem(current.length, current.distance, &state->repeats));
        position += current.length;
    }
}
