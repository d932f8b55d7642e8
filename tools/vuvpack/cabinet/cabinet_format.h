// The cabinet file's structures and limits, and little-endian access to
// their fields.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "base/little_endian.h"

// CFHEADER without reserve fields, CFFOLDER, the fixed part of CFFILE and
// of CFDATA.
static const size_t kCabinetHeaderSize = 36;
static const size_t kCabinetFolderSize = 8;
static const size_t kCabinetFileFixedSize = 16;
static const size_t kCabinetDataFixedSize = 8;

// typeCompress: the method in the low nibble, LZX's window bits in bits 8-12.
enum { kMethodFieldNone = 0, kMethodFieldMszip = 1, kMethodFieldQuantum = 2, kMethodFieldLzx = 3 };

// Every data block holds 32 KiB of uncompressed data, the last of a folder
// less; its compressed bytes at most 32 KiB plus the 6 KiB that LZX may add.
static const uint32_t kDataBlockBytes = 32768;
static const uint32_t kMaxDataBlockCompressed = 32768 + 6144;

// What one CFFILE entry can describe, and what one CFFOLDER can hold.
static const uint64_t kMaxCabinetFileSize = 0x80000000ull;  // sizes are read as signed 32-bit
static const uint64_t kMaxCabinetFiles = 65535;             // cFiles is 16 bits
static const uint64_t kMaxFolderBytes = 65535ull * kDataBlockBytes;  // 16-bit count of data blocks
static const uint64_t kMaxCabinetFolders = 65535;           // cFolders is 16 bits
static const size_t kMaxStoredNameBytes = 255;              // 256 with the terminator

// Cabinet attribute bits.
enum {
    kAttributeReadOnly = 0x01,
    kAttributeHidden = 0x02,
    kAttributeSystem = 0x04,
    kAttributeArchive = 0x20,
    kAttributeNameIsUtf8 = 0x80
};

inline uint32_t Le16(const uint8_t* at) { return (uint32_t)at[0] | ((uint32_t)at[1] << 8); }

inline uint32_t Le32(const uint8_t* at) { return Le16(at) | (Le16(at + 2) << 16); }
