// Where things lie in a package: the image, the header at the image end,
// the cabinet found by its signature, and the CRC over what follows the
// header.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "base/crc32_core.h"
#include "base/package_header.h"

// "MSCF" and the reserved field after it: what the module searches for.
static const uint8_t kCabinetSignature[8] = {'M', 'S', 'C', 'F', 0, 0, 0, 0};

// The cabinet library's offsets are 32-bit signed: the module refuses a
// larger cabinet as damaged.
static const uint64_t kMaxCabinetBytes = 0x7FFFFFFF;

// The module tests the signature block by block; one that straddles two
// blocks may not be found.
enum { kSearchBlock = 32768 };

// First offset of the signature in data, or -1.
int64_t FindCabinetSignature(const uint8_t* data, size_t count);

// Zero bytes to put between the header and a cabinet that would otherwise
// start so close to a block end that its signature straddles two blocks.
size_t PaddingBeforeCabinet(uint64_t cabinetStart);

// A signer pads the file to a multiple of 8 before it appends its
// certificate table; a package that is one already keeps its CRC valid.
enum { kSignedAlignment = 8 };

// Zero bytes to put after a cabinet that ends at packageEnd.
size_t PaddingAfterCabinet(uint64_t packageEnd);

// Bytes 0-5 "KELPIX" and byte 7 "U"; byte 6 (the variant) is not tested.
bool HeaderMagicValid(const PackageHeader& header);

// A fresh header with the module's defaults: magic, variant '3', the
// destination folder opened when done, everything else zero.
PackageHeader NewPackageHeader();

struct StubImage {
    std::vector<uint8_t> bytes;  // file offsets 0 to the image end
    uint64_t fileSize;
    bool endsInPackage;  // a valid header follows the image
};

// Reads the executable image of a stub (or of a package built from one).
// On failure returns false with the problem in *problem.
bool ReadStubImage(const std::string& path, StubImage* image, std::string* problem);

// A signed stub's security directory (data directory 4) names its
// certificate table, which a package built on it leaves out. Clears that
// entry and the image checksum, which signing sets again; true when the
// entry named a table.
bool ClearCertificateEntry(std::vector<uint8_t>* image);

// Standard CRC-32 of a byte range, folded in pieces.
struct CrcRun {
    Crc32Tables tables;
    uint32_t state;
};
void CrcStart(CrcRun* run);
void CrcAdd(CrcRun* run, const uint8_t* bytes, size_t count);
uint32_t CrcValue(const CrcRun& run);
