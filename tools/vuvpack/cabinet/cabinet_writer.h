// Our cabinet writer: stored, MSZIP or LZX folders of the given files, in
// memory, the same bytes for the same input on every build.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "vuvpack/cabinet/cabinet_format.h"
#include "vuvpack/lzx/lzx_encoder.h"

enum CabinetMethod { kCompressNone, kCompressMszip, kCompressLzx };

struct CabinetSettings {
    CabinetMethod method = kCompressLzx;
    LzxSettings lzx;                       // with kCompressLzx
    uint64_t folderLimit = kMaxFolderBytes;  // bytes per folder; each file lies wholly in one
};

// One CFFILE entry.
struct CabinetEntry {
    std::string name;  // as stored: backslashes, UTF-8 or ASCII
    uint32_t size;
    uint16_t date;
    uint16_t time;
    uint16_t attributes;
};

// Where the files' bytes come from. read gets the next count bytes of entry
// index: entries in order, each from its start to its end. progress (may
// be null) hears after each data block how many bytes are done and how
// many files were started.
struct CabinetSource {
    bool (*read)(void* context, size_t index, uint8_t* buffer, size_t count, std::string* error);
    void (*progress)(void* context, uint64_t bytesDone, size_t filesStarted);
    void* context;
};

// The folders the entries go in: the first entry of each folder.
bool PlanFolders(const std::vector<CabinetEntry>& entries, uint64_t folderLimit, std::vector<size_t>* firstEntries,
                 std::string* error);

// Writes the cabinet into *cabinet. On failure returns false with the
// problem in *error.
bool WriteCabinet(const std::vector<CabinetEntry>& entries, const CabinetSettings& settings,
                  const CabinetSource& source, std::vector<uint8_t>* cabinet, std::string* error);
