#include "vuvpack/cabinet/cabinet_summary.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "vuvpack/cabinet/cabinet_format.h"
#include "vuvpack/system/file_io.h"

enum { kFlagPrevCabinet = 0x0001, kFlagNextCabinet = 0x0002, kFlagReservePresent = 0x0004 };

static CabinetFolderSummary DescribeFolder(uint16_t typeCompress, uint32_t dataBlocks) {
    int windowBits = (typeCompress >> 8) & 0x1F;
    switch (typeCompress & 0x0F) {
    case kMethodFieldNone: return {"none", 0, dataBlocks};
    case kMethodFieldMszip: return {"MSZIP", 0, dataBlocks};
    case kMethodFieldQuantum: return {"Quantum", windowBits, dataBlocks};
    case kMethodFieldLzx: return {"LZX", windowBits, dataBlocks};
    }
    return {"unknown", 0, dataBlocks};
}

// Skips a NUL-terminated string of at most 256 bytes at *at.
static bool SkipString(const uint8_t* bytes, uint64_t end, uint64_t* at) {
    uint64_t start = *at;
    while (*at < end && bytes[*at] != 0) {
        if (*at - start >= 256) return false;
        (*at)++;
    }
    if (*at >= end) return false;
    (*at)++;
    return true;
}

bool SummarizeCabinetBytes(const uint8_t* bytes, uint64_t held, uint64_t available, CabinetSummary* summary,
                           std::string* problem) {
    *summary = CabinetSummary();
    if (held < kCabinetHeaderSize || memcmp(bytes, "MSCF", 4) != 0) {
        *problem = "no cabinet header";
        return false;
    }
    uint32_t cabinetSize = Le32(bytes + 8), filesOffset = Le32(bytes + 16);
    uint32_t folders = Le16(bytes + 26), files = Le16(bytes + 28), flags = Le16(bytes + 30);
    if (cabinetSize > available) {
        *problem = "truncated: the cabinet says " + std::to_string(cabinetSize) + " bytes, " +
                   std::to_string(available) + " are there";
        return false;
    }
    uint64_t end = cabinetSize < held ? cabinetSize : held;
    uint64_t at = kCabinetHeaderSize;
    uint32_t folderReserve = 0;
    if (flags & kFlagReservePresent) {
        if (at + 4 > end) return *problem = "its reserve fields are cut off", false;
        folderReserve = bytes[at + 2];
        at += 4 + Le16(bytes + at);
    }
    for (uint32_t flag : {(uint32_t)kFlagPrevCabinet, (uint32_t)kFlagNextCabinet}) {
        if ((flags & flag) && !(SkipString(bytes, end, &at) && SkipString(bytes, end, &at))) {
            return *problem = "its names of neighbouring cabinets are cut off", false;
        }
    }
    for (uint32_t i = 0; i < folders; i++) {
        if (at + kCabinetFolderSize > end) return *problem = "its folder entries are cut off", false;
        CabinetFolderSummary folder = DescribeFolder((uint16_t)Le16(bytes + at + 6), Le16(bytes + at + 4));
        if (std::find(summary->compression.begin(), summary->compression.end(), folder.method) ==
            summary->compression.end()) {
            summary->compression.push_back(folder.method);
        }
        summary->folderList.push_back(folder);
        at += kCabinetFolderSize + folderReserve;
    }
    at = filesOffset;
    for (uint32_t i = 0; i < files; i++) {
        if (at + kCabinetFileFixedSize > end) return *problem = "its file entries are cut off", false;
        uint32_t fileSize = Le32(bytes + at);
        uint32_t folder = Le16(bytes + at + 8);
        // 0xFFFD-0xFFFF: a file continued from or into a neighbouring cabinet.
        if (folder >= folders && folder < 0xFFFD) {
            return *problem = "file entry " + std::to_string(i) + " names folder " + std::to_string(folder) +
                              " of " + std::to_string(folders), false;
        }
        at += kCabinetFileFixedSize;
        uint64_t nameStart = at;
        if (!SkipString(bytes, end, &at)) return *problem = "a file name is cut off or too long", false;
        summary->fileNames.emplace_back((const char*)bytes + nameStart, (size_t)(at - 1 - nameStart));
        summary->totalBytes += fileSize;
    }
    summary->size = cabinetSize;
    summary->folders = folders;
    summary->files = files;
    return true;
}

// The most bytes a cabinet's file entries take: the fixed part and a name
// of at most 256 bytes with its terminator.
static const uint64_t kMaxFileEntryBytes = kCabinetFileFixedSize + 257;

bool SummarizeCabinet(const std::string& path, uint64_t offset, CabinetSummary* summary, std::string* problem) {
    *summary = CabinetSummary();
    FILE* file = OpenForReading(path);
    if (!file) return *problem = "can't be read", false;
    uint8_t header[kCabinetHeaderSize];
    uint64_t fileSize = 0;
    bool ok = RegularFileSize(file, &fileSize);
    ok = ok && fileSize >= offset + sizeof header && SeekTo(file, offset) &&
         fread(header, 1, sizeof header, file) == sizeof header;
    std::vector<uint8_t> bytes;
    if (ok) {
        // The structures end before the data, within the file entries' most.
        uint64_t structures = Le32(header + 16) + Le16(header + 28) * kMaxFileEntryBytes;
        uint64_t held = std::min<uint64_t>({structures, Le32(header + 8), fileSize - offset});
        bytes.resize(std::max<uint64_t>(held, sizeof header));
        ok = SeekTo(file, offset) && fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    fclose(file);
    if (!ok) return *problem = "the cabinet header is cut off", false;
    return SummarizeCabinetBytes(bytes.data(), bytes.size(), fileSize - offset, summary, problem);
}
