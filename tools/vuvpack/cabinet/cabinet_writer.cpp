#include "vuvpack/cabinet/cabinet_writer.h"

#include <string.h>

#include "vuvpack/cabinet/cabinet_checksum.h"
#include "vuvpack/cabinet/mszip_encoder.h"

static_assert(kLzxFrameSize == kDataBlockBytes && kLzxMaxChunkBytes <= kMaxDataBlockCompressed,
              "each LZX frame goes into one data block");

bool PlanFolders(const std::vector<CabinetEntry>& entries, uint64_t folderLimit, std::vector<size_t>* firstEntries,
                 std::string* error) {
    firstEntries->clear();
    uint64_t folderBytes = 0;
    for (size_t i = 0; i < entries.size(); i++) {
        uint64_t size = entries[i].size;
        if (size > folderLimit) {
            *error = entries[i].name + ": " + std::to_string(size) + " bytes; a cabinet folder holds at most " +
                     std::to_string(folderLimit);
            return false;
        }
        if (firstEntries->empty() || folderBytes + size > folderLimit) {
            firstEntries->push_back(i);
            folderBytes = 0;
        }
        folderBytes += size;
    }
    if (firstEntries->size() > kMaxCabinetFolders) {
        *error = "the files need " + std::to_string(firstEntries->size()) + " folders; a cabinet holds at most " +
                 std::to_string(kMaxCabinetFolders);
        return false;
    }
    return true;
}

static uint16_t MethodField(const CabinetSettings& settings) {
    switch (settings.method) {
    case kCompressNone: return kMethodFieldNone;
    case kCompressMszip: return kMethodFieldMszip;
    case kCompressLzx: break;
    }
    return (uint16_t)(kMethodFieldLzx | (settings.lzx.windowBits << 8));
}

// One folder being written: its frame buffer and data block count.
struct FolderWrite {
    const CabinetSettings* settings;
    std::vector<uint8_t>* cabinet;
    std::vector<uint8_t> frame;
    uint32_t frameFill;
    uint32_t dataBlocks;
    LzxEncoder* lzx;
    std::vector<uint8_t> packed;
};

static void AppendDataBlock(FolderWrite* folder, const uint8_t* data, uint32_t size, uint32_t uncompressedSize) {
    uint8_t fixed[kCabinetDataFixedSize];
    WriteU32(fixed, DataBlockChecksum(data, size, uncompressedSize));
    WriteU16(fixed + 4, size);
    WriteU16(fixed + 6, uncompressedSize);
    folder->cabinet->insert(folder->cabinet->end(), fixed, fixed + sizeof fixed);
    folder->cabinet->insert(folder->cabinet->end(), data, data + size);
    folder->dataBlocks++;
}

static bool SendFrame(FolderWrite* folder, std::string* error) {
    uint32_t size = folder->frameFill;
    folder->frameFill = 0;
    switch (folder->settings->method) {
    case kCompressNone:
        AppendDataBlock(folder, folder->frame.data(), size, size);
        return true;
    case kCompressMszip:
        if (!MszipEncodeBlock(folder->frame.data(), size, &folder->packed, error)) return false;
        AppendDataBlock(folder, folder->packed.data(), (uint32_t)folder->packed.size(), size);
        return true;
    case kCompressLzx: break;
    }
    AddLzxFrame(folder->lzx, folder->frame.data(), size);
    for (const LzxChunk& chunk : folder->lzx->chunks) {
        AppendDataBlock(folder, chunk.bytes.data(), (uint32_t)chunk.bytes.size(), chunk.uncompressedSize);
    }
    folder->lzx->chunks.clear();
    return true;
}

static bool WriteFolder(const std::vector<CabinetEntry>& entries, size_t first, size_t end,
                        const CabinetSettings& settings, const CabinetSource& source, uint64_t* bytesDone,
                        FolderWrite* folder, std::string* error) {
    uint64_t folderBytes = 0;
    for (size_t i = first; i < end; i++) folderBytes += entries[i].size;
    if (settings.method == kCompressLzx) StartLzx(folder->lzx, settings.lzx, folderBytes);
    for (size_t i = first; i < end; i++) {
        uint32_t left = entries[i].size;
        while (left > 0) {
            uint32_t count = kDataBlockBytes - folder->frameFill;
            if (count > left) count = left;
            if (!source.read(source.context, i, folder->frame.data() + folder->frameFill, count, error)) return false;
            folder->frameFill += count;
            left -= count;
            if (folder->frameFill < kDataBlockBytes) continue;
            if (!SendFrame(folder, error)) return false;
            *bytesDone += kDataBlockBytes;
            if (source.progress) source.progress(source.context, *bytesDone, i + 1);
        }
    }
    if (folder->frameFill > 0) {
        *bytesDone += folder->frameFill;
        if (!SendFrame(folder, error)) return false;
        if (source.progress) source.progress(source.context, *bytesDone, end);
    }
    if (settings.method == kCompressLzx) {
        FinishLzx(folder->lzx);
        for (const LzxChunk& chunk : folder->lzx->chunks) {
            AppendDataBlock(folder, chunk.bytes.data(), (uint32_t)chunk.bytes.size(), chunk.uncompressedSize);
        }
        folder->lzx->chunks.clear();
    }
    return true;
}

// CFHEADER, the CFFOLDER entries (filled in as the folders are written)
// and the CFFILE entries.
static void PutDirectory(const std::vector<CabinetEntry>& entries, const std::vector<size_t>& firstEntries,
                         std::vector<uint8_t>* cabinet) {
    size_t folders = firstEntries.size();
    size_t filesStart = kCabinetHeaderSize + kCabinetFolderSize * folders;
    cabinet->assign(filesStart, 0);
    uint8_t* header = cabinet->data();
    memcpy(header, "MSCF", 4);
    WriteU32(header + 16, (uint32_t)filesStart);  // coffFiles
    header[24] = 3;                              // versionMinor
    header[25] = 1;                              // versionMajor
    WriteU16(header + 26, (uint32_t)folders);
    WriteU16(header + 28, (uint32_t)entries.size());
    size_t folder = 0;
    uint32_t offset = 0;
    for (size_t i = 0; i < entries.size(); i++) {
        if (folder + 1 < folders && firstEntries[folder + 1] == i) {
            folder++;
            offset = 0;
        }
        const CabinetEntry& entry = entries[i];
        uint8_t fixed[kCabinetFileFixedSize];
        WriteU32(fixed, entry.size);
        WriteU32(fixed + 4, offset);
        WriteU16(fixed + 8, (uint32_t)folder);
        WriteU16(fixed + 10, entry.date);
        WriteU16(fixed + 12, entry.time);
        WriteU16(fixed + 14, entry.attributes);
        cabinet->insert(cabinet->end(), fixed, fixed + sizeof fixed);
        cabinet->insert(cabinet->end(), entry.name.begin(), entry.name.end());
        cabinet->push_back(0);
        offset += entry.size;
    }
}

// cbCabinet and every offset are 32 bits.
static bool FitsCabinetSize(uint64_t size) { return size <= 0xFFFFFFFFull; }

bool WriteCabinet(const std::vector<CabinetEntry>& entries, const CabinetSettings& settings,
                  const CabinetSource& source, std::vector<uint8_t>* cabinet, std::string* error) {
    std::vector<size_t> firstEntries;
    if (!PlanFolders(entries, settings.folderLimit, &firstEntries, error)) return false;
    PutDirectory(entries, firstEntries, cabinet);
    LzxEncoder* lzx = settings.method == kCompressLzx ? new LzxEncoder() : nullptr;
    FolderWrite folder;
    folder.settings = &settings;
    folder.cabinet = cabinet;
    folder.frame.assign(kDataBlockBytes, 0);
    folder.lzx = lzx;
    uint64_t bytesDone = 0;
    bool ok = true;
    for (size_t f = 0; ok && f < firstEntries.size(); f++) {
        size_t end = f + 1 < firstEntries.size() ? firstEntries[f + 1] : entries.size();
        uint64_t start = cabinet->size();
        folder.frameFill = 0;
        folder.dataBlocks = 0;
        ok = WriteFolder(entries, firstEntries[f], end, settings, source, &bytesDone, &folder, error);
        uint8_t* entry = cabinet->data() + kCabinetHeaderSize + kCabinetFolderSize * f;
        WriteU32(entry, (uint32_t)start);  // coffCabStart
        WriteU16(entry + 4, folder.dataBlocks);
        WriteU16(entry + 6, MethodField(settings));
        if (ok && !FitsCabinetSize(cabinet->size())) {
            *error = "the cabinet would have more than 4 GiB";
            ok = false;
        }
    }
    delete lzx;
    if (!ok) return false;
    WriteU32(cabinet->data() + 8, (uint32_t)cabinet->size());  // cbCabinet
    return true;
}
