// What a cabinet says it holds, read from its CFFILE entries, for tests
// that check what a run left behind.
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "support/test_files.h"

inline uint32_t Read32(const std::vector<unsigned char>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | (uint32_t)bytes[at + 3] << 24;
}

// Stored name (Windows separators) -> stored size.
inline std::map<std::wstring, uint32_t> StoredFiles(const std::vector<unsigned char>& cabinet) {
    std::map<std::wstring, uint32_t> files;
    uint32_t at = Read32(cabinet, 16);
    unsigned count = cabinet[28] | cabinet[29] << 8;
    for (unsigned i = 0; i < count; i++) {
        uint32_t size = Read32(cabinet, at);
        std::string name((const char*)&cabinet[at + 16]);
        for (char& c : name)
            if (c == '/') c = '\\';
        files[Widen(name)] = size;
        at += 16 + (uint32_t)name.size() + 1;
    }
    return files;
}
