// Writes small uncompressed cabinets byte by byte, including the odd ones
// a hostile archive may hold: any stored name bytes, dates, attributes,
// several folders, reserve areas, announced sizes that do not match the data, the
// next-cabinet flag, a data block that continues in another cabinet, and a
// file continued from an earlier one.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct CabFile {
    std::string name;  // stored as it is, NUL added
    std::string data;
    uint16_t date = 0x5867;     // 7 March 2024
    uint16_t time = 0x70AF;     // 14:05:30
    uint16_t attribs = 0x20;    // archive
    int folder = 0;
    int64_t announcedSize = -1;  // the stored size; -1: the data's size
};

struct CabContents {
    std::vector<CabFile> files;
    int folders = 1;
    size_t blockSize = 32768;  // uncompressed bytes per data block
    // Non-empty: the header announces this next cabinet (flag 0x0002).
    std::string nextCabinet;
    // Non-empty: the header names this previous cabinet (flag 0x0001), and
    // the first file is marked as continued from it (folder index 0xFFFD),
    // as in the second part of a set.
    std::string previousCabinet;
    // The last data block of the last folder is cut in half; its second
    // half would be in the next cabinet, and the file that reaches into it
    // is marked as continued (folder index 0xFFFE).
    bool splitLastBlock = false;
    // Non-zero: reserve areas (flag 0x0004) of these sizes after the
    // header, in each folder entry and in each data block header, filled
    // with 0xA5; readers must skip them.
    uint16_t headerReserve = 0;
    uint8_t folderReserve = 0;
    uint8_t dataReserve = 0;
};

std::vector<unsigned char> BuildCabinet(const CabContents& contents);

uint16_t DosDate(int year, int month, int day);
uint16_t DosTime(int hour, int minute, int second);

// The built program's image, a package header (zeros unless given) and the
// cabinet behind them: a package as the program finds it behind itself.
// cabinetOffset receives the position of the cabinet in the result.
std::vector<unsigned char> BuildPackage(const std::vector<unsigned char>& cabinet, long* cabinetOffset,
                                        const void* header = nullptr);
