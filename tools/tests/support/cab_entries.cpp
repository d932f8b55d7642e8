#include "support/cab_entries.h"

#include <stdio.h>

std::vector<CabEntry> ReadCabEntries(const Bytes& bytes, size_t offset) {
    // CFHEADER: coffFiles at +16, cFiles at +28. CFFILE: cbFile, uoffFolderStart,
    // iFolder, date, time, attribs, then the NUL-terminated name.
    std::vector<CabEntry> entries;
    size_t cursor = offset + U32At(bytes, offset + 16);
    uint16_t count = U16At(bytes, offset + 28);
    for (uint16_t i = 0; i < count; i++) {
        CabEntry entry;
        entry.size = U32At(bytes, cursor);
        entry.date = U16At(bytes, cursor + 10);
        entry.time = U16At(bytes, cursor + 12);
        entry.attributes = U16At(bytes, cursor + 14);
        cursor += 16;
        while (bytes.at(cursor) != 0) entry.name.push_back((char)bytes[cursor++]);
        cursor++;
        entries.push_back(entry);
    }
    return entries;
}

std::string DosStampText(uint16_t date, uint16_t time) {
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", 1980 + (date >> 9), (date >> 5) & 15, date & 31,
             time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return text;
}
