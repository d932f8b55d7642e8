// What a cabinet holds, read with our own reader from inside a larger file.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct CabinetFolderSummary {
    std::string method;  // "none", "MSZIP", "Quantum", "LZX" or "unknown"
    int windowBits;      // LZX's and Quantum's window, 2^windowBits bytes; 0 for the others
    uint32_t dataBlocks;
};

struct CabinetSummary {
    uint32_t size;      // cbCabinet
    uint32_t folders;
    uint32_t files;
    uint64_t totalBytes;  // uncompressed
    std::vector<std::string> compression;  // each kind once, in folder order
    std::vector<CabinetFolderSummary> folderList;
    std::vector<std::string> fileNames;  // as stored, in the directory's order
};

// Reads the cabinet's header, folders and files from `held` bytes of the
// `available` that start with the cabinet. On failure returns false with
// the problem in *problem.
bool SummarizeCabinetBytes(const uint8_t* bytes, uint64_t held, uint64_t available, CabinetSummary* summary,
                           std::string* problem);

// The same, from a file.
bool SummarizeCabinet(const std::string& path, uint64_t offset, CabinetSummary* summary, std::string* problem);
