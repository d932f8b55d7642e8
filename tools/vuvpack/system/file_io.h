// Reading files by their UTF-8 paths at 64-bit offsets.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

// fopen(path, "rb"); null with errno set on failure.
FILE* OpenForReading(const std::string& path);
bool SeekTo(FILE* file, uint64_t offset);
// The open file's size; false when it is not a regular file or can't be
// asked.
bool RegularFileSize(FILE* file, uint64_t* size);
// True when both names lead to one existing file.
bool SameFile(const std::string& first, const std::string& second);

// A whole file in memory, read-only: mapped where the system maps it.
struct MappedFile {
    const uint8_t* data;
    uint64_t size;
    void* mapping;
};
// False with errno set (EINVAL: not a regular file, or empty).
bool MapWholeFile(const std::string& path, MappedFile* file);
void UnmapWholeFile(MappedFile* file);
