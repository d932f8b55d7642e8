// What a cabinet holds, read with libgcab from inside a larger file.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct CabinetSummary {
    uint32_t size;      // cbCabinet
    uint32_t folders;
    uint32_t files;
    uint64_t totalBytes;  // uncompressed
    std::vector<std::string> compression;  // each kind once, in folder order
};

// Reads the cabinet that starts at offset. On failure returns false with
// the problem in *problem.
bool SummarizeCabinet(const std::string& path, uint64_t offset, CabinetSummary* summary, std::string* problem);
