// CRC-32 (ISO-HDLC, reflected polynomial 0xEDB88320), shared with the
// package tools. Eight tables let the fold take eight bytes per step;
// the result is the same as the byte-at-a-time table.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { kCrcSlices = 8 };

typedef uint32_t Crc32Tables[kCrcSlices][256];

// Fills the tables; table 0 is the classic byte-at-a-time table.
void Crc32BuildTables(Crc32Tables tables);

// Folds count bytes into the running register and returns it. The caller
// starts with 0xFFFFFFFF and complements the final value.
uint32_t Crc32Fold(const Crc32Tables tables, uint32_t state, const uint8_t* bytes, size_t count);

// Where the processor multiplies without carries (PCLMULQDQ), the fold
// takes 64 bytes per step, several times the tables' speed: a 200 MB
// package is checked in the time it takes to read it.
bool Crc32WideAvailable(void);
// The same result as Crc32Fold; call it only where Crc32WideAvailable().
uint32_t Crc32FoldWide(const Crc32Tables tables, uint32_t state, const uint8_t* bytes, size_t count);
