// What vuvpack asks of a path: its kind, size, time and attribute bits, as
// each system reports them.
#pragma once

#include <stdint.h>
#include <time.h>

#include <string>

enum EntryKind { kEntryFile, kEntryFolder, kEntryLink, kEntryOther };

// The attribute bits asked for, with Windows's values (FILE_ATTRIBUTE_*).
enum { kFileReadOnly = 0x01, kFileHidden = 0x02, kFileSystem = 0x04, kFileArchive = 0x20 };

struct EntryInfo {
    EntryKind kind;
    uint64_t size;
    time_t modified;      // seconds since 1970 (UTC)
    uint32_t attributes;  // kFileReadOnly, kFileHidden, kFileSystem, kFileArchive
};

// The path itself (a link is reported as kEntryLink) or, with followLinks,
// what it leads to. False with errno set when the path can't be read.
bool ReadEntryInfo(const std::string& path, bool followLinks, EntryInfo* info);
