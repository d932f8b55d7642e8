#include "crc32_core.h"

void Crc32BuildTables(Crc32Tables tables) {
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; bit++) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        tables[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; i++) {
        for (int slice = 1; slice < kCrcSlices; slice++) {
            uint32_t previous = tables[slice - 1][i];
            tables[slice][i] = (previous >> 8) ^ tables[0][previous & 0xFF];
        }
    }
}

uint32_t Crc32Fold(const Crc32Tables tables, uint32_t state, const uint8_t* bytes, size_t count) {
    while (count >= 8) {
        uint32_t low = state ^ ((uint32_t)bytes[0] | ((uint32_t)bytes[1] << 8) |
                                ((uint32_t)bytes[2] << 16) | ((uint32_t)bytes[3] << 24));
        uint32_t high = (uint32_t)bytes[4] | ((uint32_t)bytes[5] << 8) | ((uint32_t)bytes[6] << 16) |
                        ((uint32_t)bytes[7] << 24);
        state = tables[7][low & 0xFF] ^ tables[6][(low >> 8) & 0xFF] ^ tables[5][(low >> 16) & 0xFF] ^
                tables[4][low >> 24] ^ tables[3][high & 0xFF] ^ tables[2][(high >> 8) & 0xFF] ^
                tables[1][(high >> 16) & 0xFF] ^ tables[0][high >> 24];
        bytes += 8;
        count -= 8;
    }
    while (count--) state = (state >> 8) ^ tables[0][(state ^ *bytes++) & 0xFF];
    return state;
}
