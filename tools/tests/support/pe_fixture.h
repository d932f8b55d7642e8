// Hand-made PE images: just the bytes the image-end rule reads.
#pragma once

#include <stdint.h>

#include <vector>

#include "support/tool_test.h"

struct FixtureSection {
    uint32_t rawOffset;  // PointerToRawData
    uint32_t rawSize;    // SizeOfRawData
    uint32_t characteristics;
};

// The usual section kinds.
static const uint32_t kCodeSection = 0x60000020;  // code, execute, read
static const uint32_t kDataSection = 0xC0000040;  // initialised data, read, write
static const uint32_t kBareSection = 0x00000080;  // uninitialised data only

// An image with the given sections, fileSize bytes long. The first 4096
// bytes (all the image-end rule reads) are zero but for the headers; the
// rest holds a pattern that never forms a cabinet signature.
Bytes MakePeImage(const std::vector<FixtureSection>& sections, uint32_t fileSize);

// Three ordinary sections, the last ending at imageEnd; the file is exactly
// the image.
Bytes MakePeEndingAt(uint32_t imageEnd);
