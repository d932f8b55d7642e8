// The CFFILE entries of a cabinet, read straight from its bytes, so the
// tests see what was stored without going through the library that wrote it.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "support/tool_test.h"

struct CabEntry {
    std::string name;  // as stored: backslashes, UTF-8 or ANSI bytes
    uint32_t size;
    uint16_t date;
    uint16_t time;
    uint16_t attributes;
};

// The cabinet starts at offset.
std::vector<CabEntry> ReadCabEntries(const Bytes& bytes, size_t offset);

// DOS date and time as "YYYY-MM-DD HH:MM:SS".
std::string DosStampText(uint16_t date, uint16_t time);
