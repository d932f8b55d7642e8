// LZX's bit stream: 16-bit little-endian words, each filled from its
// highest bit.
#pragma once

#include <stdint.h>

#include <vector>

struct LzxBitWriter {
    std::vector<uint8_t> bytes;  // whole words written
    uint32_t pending = 0;        // bits not yet in a whole word, lowest bits
    int pendingCount = 0;        // 0..15
};

// Appends the low `count` bits of value (count at most 16), highest first.
inline void PutBits(LzxBitWriter* writer, uint32_t value, int count) {
    writer->pending = (writer->pending << count) | (value & ((1u << count) - 1));
    writer->pendingCount += count;
    if (writer->pendingCount >= 16) {
        writer->pendingCount -= 16;
        uint32_t word = writer->pending >> writer->pendingCount;
        writer->bytes.push_back((uint8_t)word);
        writer->bytes.push_back((uint8_t)(word >> 8));
        writer->pending &= (1u << writer->pendingCount) - 1;
    }
}

// Up to 32 bits, highest first.
inline void PutLongBits(LzxBitWriter* writer, uint32_t value, int count) {
    if (count > 16) {
        PutBits(writer, value >> 16, count - 16);
        count = 16;
    }
    PutBits(writer, value & 0xFFFF, count);
}

// Zero bits up to the next word; none when the stream is at one.
inline void AlignToWord(LzxBitWriter* writer) {
    if (writer->pendingCount > 0) PutBits(writer, 0, 16 - writer->pendingCount);
}
