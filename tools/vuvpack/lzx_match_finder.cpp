#include "lzx_match_finder.h"

static uint32_t HashAt(const LzxMatchFinder& finder, const uint8_t* bytes) {
    uint32_t key = ((uint32_t)bytes[0] << 16) | ((uint32_t)bytes[1] << 8) | bytes[2];
    return (key * 2654435761u) >> (32 - finder.hashBits);
}

void StartMatchFinder(LzxMatchFinder* finder, int windowBits) {
    finder->hashBits = windowBits < 17 ? 15 : 17;
    finder->windowMask = (1u << windowBits) - 1;
    finder->head.assign((size_t)1 << finder->hashBits, 0);
    finder->chain.assign((size_t)1 << windowBits, 0);
    finder->inserted = 0;
}

void InsertPositions(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position) {
    while (finder->inserted < position && finder->inserted + 3 <= history.end) {
        uint32_t at = finder->inserted++;
        uint32_t hash = HashAt(*finder, history.At(at));
        finder->chain[at & finder->windowMask] = finder->head[hash];
        finder->head[hash] = at + 1;
    }
}

// Walks the chain at position, newest first, and hands each match longer
// than all before it to found; stops at niceLength, maxLength or the chain's
// end.
template <typename Found>
static void WalkChain(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position, uint32_t maxLength,
                      uint32_t maxDistance, int chainDepth, uint32_t niceLength, Found found) {
    InsertPositions(finder, history, position);
    if (maxLength < 3 || finder->inserted != position) return;
    const uint8_t* here = history.At(position);
    uint32_t candidate = finder->head[HashAt(*finder, here)];
    InsertPositions(finder, history, position + 1);
    uint32_t bestLength = 2;
    while (candidate != 0 && chainDepth-- > 0) {
        uint32_t earlier = candidate - 1;
        uint32_t distance = position - earlier;
        if (distance > maxDistance) break;
        const uint8_t* there = here - distance;
        if (there[bestLength] == here[bestLength] && there[0] == here[0]) {
            uint32_t length = 0;
            while (length < maxLength && here[length] == there[length]) length++;
            if (length > bestLength) {
                bestLength = length;
                found(LzxMatch{length, distance});
                if (length >= niceLength || length == maxLength) break;
            }
        }
        uint32_t next = finder->chain[earlier & finder->windowMask];
        if (next == 0 || next - 1 >= earlier) break;
        candidate = next;
    }
}

LzxMatch FindLongestMatch(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position, uint32_t maxLength,
                          uint32_t maxDistance, int chainDepth, uint32_t niceLength) {
    LzxMatch best = {0, 0};
    WalkChain(finder, history, position, maxLength, maxDistance, chainDepth, niceLength,
              [&best](LzxMatch match) { best = match; });
    return best;
}

void FindMatches(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position, uint32_t maxLength,
                 uint32_t maxDistance, int chainDepth, uint32_t niceLength, std::vector<LzxMatch>* matches) {
    WalkChain(finder, history, position, maxLength, maxDistance, chainDepth, niceLength,
              [matches](LzxMatch match) { matches->push_back(match); });
}
