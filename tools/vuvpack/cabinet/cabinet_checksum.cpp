#include "vuvpack/cabinet/cabinet_checksum.h"

#include "vuvpack/cabinet/cabinet_format.h"

uint32_t CabinetChecksum(const uint8_t* data, size_t size, uint32_t seed) {
    uint32_t sum = seed;
    size_t words = size / 4;
    for (size_t i = 0; i < words; i++) sum ^= Le32(data + 4 * i);
    const uint8_t* rest = data + 4 * words;
    uint32_t last = 0;
    for (size_t i = 0; i < size % 4; i++) last = (last << 8) | rest[i];
    return sum ^ last;
}

uint32_t DataBlockChecksum(const uint8_t* data, uint32_t compressedSize, uint32_t uncompressedSize) {
    uint8_t sizes[4];
    WriteU16(sizes, compressedSize);
    WriteU16(sizes + 2, uncompressedSize);
    return CabinetChecksum(sizes, sizeof sizes, CabinetChecksum(data, compressedSize, 0));
}
