// An MSZIP cabinet made from every file under a folder.
#pragma once

#include <stdint.h>
#include <time.h>

#include <string>
#include <vector>

#include <glib.h>

// What one CFFILE entry can describe, and what one CFFOLDER can hold.
static const uint64_t kMaxCabinetFileSize = 0x80000000ull;  // sizes are read as signed 32-bit
static const uint64_t kMaxCabinetFiles = 65535;             // cFiles is 16 bits
static const uint64_t kMaxFolderBytes = 65535ull * 32768;   // 16-bit count of 32 KiB data blocks
static const size_t kMaxStoredNameBytes = 255;              // 256 with the terminator

// Cabinet attribute bits.
enum { kAttributeReadOnly = 0x01, kAttributeHidden = 0x02, kAttributeArchive = 0x20, kAttributeNameIsUtf8 = 0x80 };

struct FolderFile {
    std::string path;  // what is read: the file, or the file a link leads to
    std::string name;  // stored name: relative, backslashes, UTF-8
    uint64_t size;
    time_t modified;
    uint32_t attributes;
};

// Problem of a folder's totals, or "" when a cabinet can hold them.
std::string FolderTotalsProblem(uint64_t fileCount, uint64_t totalBytes);

// Every file under root, sorted by stored name. On failure returns false
// with "path: problem" in *error; nothing is skipped silently.
bool ScanFolder(const std::string& root, std::vector<FolderFile>* files, std::string* error);

// DOS time stamps reach from 1980 to 2107; other times are moved to the
// nearest end, with a warning.
bool DosTimeRepresentable(time_t modified, struct tm* local);

// Writes the cabinet into memory. Warnings (moved time stamps) are added to
// *warnings. On failure returns nullptr with the problem in *error.
GBytes* WriteFolderCabinet(const std::vector<FolderFile>& files, std::vector<std::string>* warnings,
                           std::string* error);
