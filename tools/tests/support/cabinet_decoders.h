// Our cabinet writer driven from memory, and the independent decoders that
// must read what it writes: libmspack (cabextract), 7-Zip (7zz), libarchive
// (bsdtar) and libgcab (gcab).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "support/tool_test.h"
#include "vuvpack/cabinet/cabinet_writer.h"

struct MemoryFile {
    std::string name;  // stored name, backslashes
    Bytes bytes;
};

// Writes the files as a cabinet at path; fails the test when the writer does.
void WriteMemoryCabinet(const std::string& path, const std::vector<MemoryFile>& files,
                        const CabinetSettings& settings);

struct CabinetDecoder {
    const char* name;
    // The program and its arguments to extract cabinet into folder.
    std::vector<std::string> (*command)(const std::string& cabinet, const std::string& folder);
};

extern const CabinetDecoder kCabinetDecoders[4];

// Extracts the cabinet with the decoder into a fresh folder and compares
// every file with what was packed (and that nothing else came out). Adds
// test failures that name the decoder and the first differing byte.
void ExpectDecoderExtracts(const CabinetDecoder& decoder, const std::string& cabinet, const std::string& folder,
                           const std::vector<MemoryFile>& files);

// The same with every decoder, each into folder-<decoder name>.
void ExpectEveryDecoderExtracts(const std::string& cabinet, const std::string& folder,
                                const std::vector<MemoryFile>& files);
