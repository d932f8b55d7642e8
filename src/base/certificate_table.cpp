#include "base/certificate_table.h"

#include "base/little_endian.h"

bool CertificateTableFromBytes(const uint8_t* data, size_t count, uint64_t headerEnd, uint64_t fileSize,
                               CertificateTable* table) {
    // Offsets in the optional header of its magic, NumberOfRvaAndSizes and
    // the security directory, by layout.
    enum { kPe32Magic = 0x10B, kPe32PlusMagic = 0x20B, kOptionalHeaderAt = 24, kSecurityIndex = 4 };
    if (count < 0x40 || data[0] != 'M' || data[1] != 'Z') return false;
    uint64_t peOffset = ReadU32(data + 0x3C);
    if (peOffset == 0 || peOffset + kOptionalHeaderAt + 2 > count) return false;
    if (ReadU32(data + peOffset) != 0x00004550) return false;

    const uint8_t* optional = data + peOffset + kOptionalHeaderAt;
    uint32_t optionalSize = ReadU16(data + peOffset + 20);
    uint16_t magic = ReadU16(optional);
    uint32_t countAt = magic == kPe32Magic ? 92 : magic == kPe32PlusMagic ? 108 : 0;
    if (countAt == 0) return false;
    uint32_t directoryAt = countAt + 4 + kSecurityIndex * 8;  // 128 in PE32, 144 in PE32+
    if (optionalSize < directoryAt + 8 || peOffset + kOptionalHeaderAt + directoryAt + 8 > count) return false;
    if (ReadU32(optional + countAt) <= kSecurityIndex) return false;

    uint32_t offset = ReadU32(optional + directoryAt);
    uint32_t size = ReadU32(optional + directoryAt + 4);
    if (offset < headerEnd || offset % 8 != 0 || size < kCertificateEntryHead) return false;
    if ((uint64_t)offset + size != fileSize) return false;
    table->offset = offset;
    table->size = size;
    return true;
}

bool CertificateEntryValid(const uint8_t* head, uint32_t tableSize) {
    enum { kRevision2 = 0x0200, kTypePkcsSignedData = 0x0002 };
    uint32_t length = ReadU32(head);
    return length >= kCertificateEntryHead && length <= tableSize && ReadU16(head + 4) == kRevision2 &&
           ReadU16(head + 6) == kTypePkcsSignedData;
}
