// Little-endian fields of files, read from and written into byte buffers.
// Pure: shared with the package tools.
#pragma once

#include <stdint.h>

static inline uint32_t ReadU32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static inline uint16_t ReadU16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

static inline void WriteU16(uint8_t* p, uint32_t value) {
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
}

static inline void WriteU32(uint8_t* p, uint32_t value) {
    WriteU16(p, value);
    WriteU16(p + 2, value >> 16);
}
