// The checksum of a CFDATA block.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Folds size bytes into seed: whole 32-bit little-endian words XORed in,
// then the one to three bytes left over, the first of them highest.
uint32_t CabinetChecksum(const uint8_t* data, size_t size, uint32_t seed);

// csum of a data block: its data, then its cbData and cbUncomp fields.
uint32_t DataBlockChecksum(const uint8_t* data, uint32_t compressedSize, uint32_t uncompressedSize);
