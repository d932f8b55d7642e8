#include "vuvpack/lzx/lzx_match_finder.h"

static uint32_t HashAt(const LzxMatchFinder& finder, const uint8_t* bytes) {
    uint32_t key = ((uint32_t)bytes[0] << 16) | ((uint32_t)bytes[1] << 8) | bytes[2];
    return (key * 2654435761u) >> (32 - finder.hashBits);
}

void StartMatchFinder(LzxMatchFinder* finder, int windowBits, bool trees) {
    finder->hashBits = windowBits < 17 ? 15 : 17;
    finder->windowMask = (1u << windowBits) - 1;
    finder->trees = trees;
    finder->head.assign((size_t)1 << finder->hashBits, 0);
    finder->chain.assign((size_t)(trees ? 2 : 1) << windowBits, 0);
    finder->inserted = 0;
    finder->waiting = 0;
}

void InsertPositions(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position) {
    if (finder->trees) return;
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

// Walks position's hash tree down from the root, comparing at most limit
// bytes, and hands each match longer than all before it to matches (when
// not null). With enter, position becomes the root: the walk splits the old
// tree into the subtrees of smaller and larger strings, and a match of
// limit bytes takes over the children of the node it replaces. Entering
// needs limit == niceLength for every position, or the tree's order would
// not hold; without enter the tree is only read.
static void WalkTree(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position, uint32_t limit,
                     uint32_t maxDistance, int depth, bool enter, std::vector<LzxMatch>* matches) {
    const uint8_t* here = history.At(position);
    uint32_t* root = &finder->head[HashAt(*finder, here)];
    uint32_t candidate = *root;
    uint32_t scratch[2];
    uint32_t* node = enter ? finder->chain.data() + 2 * (position & finder->windowMask) : scratch;
    if (enter) *root = position + 1;
    uint32_t* smaller = node;     // where the next smaller string goes
    uint32_t* larger = node + 1;  // where the next larger string goes
    uint32_t smallerLength = 0, largerLength = 0, bestLength = 2;
    while (candidate != 0 && depth-- > 0) {
        uint32_t earlier = candidate - 1;
        uint32_t distance = position - earlier;
        if (distance > maxDistance) break;
        const uint8_t* there = here - distance;
        uint32_t* pair = finder->chain.data() + 2 * (earlier & finder->windowMask);
        uint32_t length = smallerLength < largerLength ? smallerLength : largerLength;
        while (length < limit && here[length] == there[length]) length++;
        if (length > bestLength) {
            bestLength = length;
            if (matches) matches->push_back(LzxMatch{length, distance});
        }
        if (length == limit) {
            if (!enter) return;
            *smaller = pair[0];
            *larger = pair[1];
            return;
        }
        if (there[length] < here[length]) {
            if (enter) *smaller = candidate;
            smaller = pair + 1;
            smallerLength = length;
            candidate = *smaller;
        } else {
            if (enter) *larger = candidate;
            larger = pair;
            largerLength = length;
            candidate = *larger;
        }
    }
    if (enter) {
        *smaller = 0;
        *larger = 0;
    }
}

// Every position is entered in order: those near the end of what is held
// are searched without being entered (their niceLength bytes are not all
// there yet) and entered once they are, before the next position is
// searched; so are those the caller skipped.
static void FindInTrees(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position, uint32_t maxLength,
                        uint32_t maxDistance, int depth, uint32_t niceLength, std::vector<LzxMatch>* matches) {
    while (finder->waiting < position && history.end - finder->waiting >= niceLength) {
        WalkTree(finder, history, finder->waiting, niceLength, maxDistance, depth, true, nullptr);
        finder->waiting++;
    }
    if (maxLength < 3) return;
    bool enter = history.end - position >= niceLength && maxLength >= niceLength;
    if (enter) finder->waiting = position + 1;
    WalkTree(finder, history, position, enter ? niceLength : maxLength, maxDistance, depth, enter, matches);
}

void FindMatches(LzxMatchFinder* finder, const LzxHistory& history, uint32_t position, uint32_t maxLength,
                 uint32_t maxDistance, int chainDepth, uint32_t niceLength, std::vector<LzxMatch>* matches) {
    if (finder->trees) {
        FindInTrees(finder, history, position, maxLength, maxDistance, chainDepth, niceLength, matches);
        return;
    }
    WalkChain(finder, history, position, maxLength, maxDistance, chainDepth, niceLength,
              [matches](LzxMatch match) { matches->push_back(match); });
}
