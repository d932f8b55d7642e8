#include "support/pe_fixture.h"

#include <string.h>

Bytes MakePeImage(const std::vector<FixtureSection>& sections, uint32_t fileSize) {
    // DOS header "MZ" with e_lfanew 0x80; "PE\0\0"; file header (i386,
    // section count, optional header of 0xE0 bytes); section table at
    // 0x80 + 24 + 0xE0 = 0x178, 40 bytes per entry.
    const uint32_t kPeOffset = 0x80, kOptionalSize = 0xE0, kSectionTable = kPeOffset + 24 + kOptionalSize;
    Bytes bytes(fileSize);
    for (size_t i = 0x1000; i < bytes.size(); i++) bytes[i] = (uint8_t)(i % 251);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    PutU32(&bytes, 0x3C, kPeOffset);
    memcpy(&bytes[kPeOffset], "PE\0\0", 4);
    PutU16(&bytes, kPeOffset + 4, 0x014C);
    PutU16(&bytes, kPeOffset + 6, (uint16_t)sections.size());
    PutU16(&bytes, kPeOffset + 20, kOptionalSize);
    PutU16(&bytes, kPeOffset + 24, 0x010B);
    for (size_t k = 0; k < sections.size(); k++) {
        size_t entry = kSectionTable + 40 * k;
        memcpy(&bytes[entry], k == 0 ? ".text" : k + 1 == sections.size() ? ".rsrc" : ".data", 5);
        PutU32(&bytes, entry + 8, sections[k].rawSize);
        PutU32(&bytes, entry + 12, 0x1000 * (uint32_t)(k + 1));
        PutU32(&bytes, entry + 16, sections[k].rawSize);
        PutU32(&bytes, entry + 20, sections[k].rawOffset);
        PutU32(&bytes, entry + 36, sections[k].characteristics);
    }
    return bytes;
}

Bytes MakePeEndingAt(uint32_t imageEnd) {
    uint32_t third = imageEnd / 3;
    return MakePeImage({{0x400, third - 0x400, kCodeSection},
                        {third, third, kDataSection},
                        {2 * third, imageEnd - 2 * third, kDataSection}},
                       imageEnd);
}
