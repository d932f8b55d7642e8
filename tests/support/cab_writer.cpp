#include "support/cab_writer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/package_header.h"
#include "support/test_files.h"

static void Put16(std::vector<unsigned char>& out, uint32_t value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

static void Put32(std::vector<unsigned char>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

static void Patch32(std::vector<unsigned char>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++) out[at + i] = (value >> (8 * i)) & 0xFF;
}

static void PutString(std::vector<unsigned char>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

std::vector<unsigned char> BuildCabinet(const CabContents& contents) {
    // Each folder's uncompressed stream: its files' data in file order.
    std::vector<std::string> streams(contents.folders);
    std::vector<size_t> streamBytes(contents.folders);
    for (const CabFile& file : contents.files) streamBytes.at(file.folder) += file.data.size();
    for (int f = 0; f < contents.folders; f++) streams[f].reserve(streamBytes[f]);
    std::vector<uint32_t> offsets;
    for (const CabFile& file : contents.files) {
        offsets.push_back((uint32_t)streams.at(file.folder).size());
        streams[file.folder] += file.data;
    }

    // Cut every stream into blocks; the last block of the last folder may
    // be split, its second half left to a next cabinet.
    struct Block {
        std::string bytes;
        uint16_t uncompressed;
    };
    std::vector<std::vector<Block>> blocks(contents.folders);
    size_t splitFrom = SIZE_MAX;  // stream offset of the missing half
    for (int f = 0; f < contents.folders; f++) {
        const std::string& stream = streams[f];
        for (size_t at = 0; at < stream.size(); at += contents.blockSize) {
            std::string bytes = stream.substr(at, contents.blockSize);
            blocks[f].push_back({bytes, (uint16_t)bytes.size()});
        }
        if (contents.splitLastBlock && f == contents.folders - 1 && !blocks[f].empty()) {
            Block& last = blocks[f].back();
            size_t kept = last.bytes.size() / 2;
            splitFrom = stream.size() - last.bytes.size() + kept;
            last.bytes.resize(kept);
            last.uncompressed = 0;  // the block ends in the next cabinet
        }
    }
    // Large cabinets must fit a 32-bit test process under emulated Wine,
    // whose heap ends near 128 MB in blocks of 64 MB at most: each stream and
    // the output are made in one block, and the streams go before the output.
    size_t outBytes = 65536 + contents.headerReserve + contents.files.size() * 300;
    for (int f = 0; f < contents.folders; f++) {
        outBytes += streams[f].size() + blocks[f].size() * (8 + contents.dataReserve);
    }
    std::vector<std::string>().swap(streams);

    std::vector<unsigned char> out;
    out.reserve(outBytes);
    bool reserves = contents.headerReserve || contents.folderReserve || contents.dataReserve;
    uint16_t flags = (contents.previousCabinet.empty() ? 0 : 0x0001) | (contents.nextCabinet.empty() ? 0 : 0x0002) |
                     (reserves ? 0x0004 : 0);
    out.insert(out.end(), {'M', 'S', 'C', 'F'});
    Put32(out, 0);  // reserved
    Put32(out, 0);  // cabinet size, patched below
    Put32(out, 0);  // reserved
    Put32(out, 0);  // first file entry, patched below
    Put32(out, 0);  // reserved
    out.push_back(3);  // version 1.3
    out.push_back(1);
    Put16(out, contents.folders);
    Put16(out, (uint32_t)contents.files.size());
    Put16(out, flags);
    Put16(out, 0x1234);  // set id
    Put16(out, (flags & 0x0001) ? 1 : 0);  // number in the set
    if (flags & 0x0004) {
        Put16(out, contents.headerReserve);
        out.push_back(contents.folderReserve);
        out.push_back(contents.dataReserve);
        out.insert(out.end(), contents.headerReserve, 0xA5);
    }
    if (flags & 0x0001) {
        PutString(out, contents.previousCabinet);
        PutString(out, "disk");
    }
    if (flags & 0x0002) {
        PutString(out, contents.nextCabinet);
        PutString(out, "disk");
    }

    std::vector<size_t> folderStarts;
    for (int f = 0; f < contents.folders; f++) {
        folderStarts.push_back(out.size());
        Put32(out, 0);  // first data block, patched below
        Put16(out, (uint32_t)blocks[f].size());
        Put16(out, 0);  // no compression
        out.insert(out.end(), contents.folderReserve, 0xA5);
    }

    Patch32(out, 16, (uint32_t)out.size());
    for (size_t i = 0; i < contents.files.size(); i++) {
        const CabFile& file = contents.files[i];
        uint32_t size = file.announcedSize >= 0 ? (uint32_t)file.announcedSize : (uint32_t)file.data.size();
        bool continued = file.folder == contents.folders - 1 && offsets[i] + file.data.size() > splitFrom;
        Put32(out, size);
        Put32(out, offsets[i]);
        bool fromPrevious = i == 0 && !contents.previousCabinet.empty();
        Put16(out, fromPrevious ? 0xFFFD : continued ? 0xFFFE : file.folder);
        Put16(out, file.date);
        Put16(out, file.time);
        Put16(out, file.attribs);
        PutString(out, file.name);
    }

    for (int f = 0; f < contents.folders; f++) {
        Patch32(out, folderStarts[f], (uint32_t)out.size());
        for (const Block& block : blocks[f]) {
            Put32(out, 0);  // no checksum
            Put16(out, (uint32_t)block.bytes.size());
            Put16(out, block.uncompressed);
            out.insert(out.end(), contents.dataReserve, 0xA5);
            out.insert(out.end(), block.bytes.begin(), block.bytes.end());
        }
    }
    Patch32(out, 8, (uint32_t)out.size());
    return out;
}

uint16_t DosDate(int year, int month, int day) { return (uint16_t)(((year - 1980) << 9) | (month << 5) | day); }

uint16_t DosTime(int hour, int minute, int second) { return (uint16_t)((hour << 11) | (minute << 5) | (second / 2)); }

std::vector<unsigned char> BuildPackage(const std::vector<unsigned char>& cabinet, long* cabinetOffset,
                                        const void* header) {
    std::vector<unsigned char> package = ReadBytes(StubPath());
    EXPECT_FALSE(package.empty()) << "the built program is missing";
    const unsigned char* headerBytes = (const unsigned char*)header;
    if (headerBytes)
        package.insert(package.end(), headerBytes, headerBytes + kHeaderSize);
    else
        package.resize(package.size() + kHeaderSize);
    *cabinetOffset = (long)package.size();
    package.insert(package.end(), cabinet.begin(), cabinet.end());
    return package;
}
