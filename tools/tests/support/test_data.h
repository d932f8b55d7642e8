// Generated payloads for the compression tests, the same on every run.
#pragma once

#include <stdint.h>

#include "support/tool_test.h"
#include "vuvpack/lzx/lzx_encoder.h"

// A small fixed-seed generator (xorshift64*).
struct TestRandom {
    uint64_t state;
    explicit TestRandom(uint64_t seed) : state(seed * 2654435761u + 1) {}
    uint32_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return (uint32_t)((state * 2685821657736338717ull) >> 32);
    }
    uint32_t Below(uint32_t bound) { return Next() % bound; }
};

Bytes RandomBytes(TestRandom* random, size_t size);
// Words from a small vocabulary, with line breaks: compresses like prose.
Bytes TextBytes(TestRandom* random, size_t size);
// Runs of one byte, of lengths from 1 to a few thousand.
Bytes RunBytes(TestRandom* random, size_t size);
// x86-like code: opcodes, and CALLs (E8) whose targets repeat across the data.
Bytes CallBytes(TestRandom* random, size_t size);
// Pieces of earlier output copied with changes, from near and far.
Bytes RepeatBytes(TestRandom* random, size_t size);
// Three frames (32 KiB each) of text, four of random bytes, three of text:
// data whose character changes at frame ends. The random bytes end with
// the 64 bytes from 5000 back, and the second text starts with the bytes
// from 5000 back: its first match takes the distance that the random bytes
// left as the last one.
Bytes TextNoiseTextBytes(TestRandom* random);

// Every LZX level as a test parameter, named as on vuvpack's command line.
inline auto EveryLzxLevel() {
    return ::testing::Values(kLzxLevelFast, kLzxLevelDefault, kLzxLevelBest);
}
std::string LzxLevelName(const ::testing::TestParamInfo<LzxLevel>& info);
