// The certificate table that signing appends to an image (security
// directory, data directory 4). Pure: shared with the package tools, so
// that they check a signed package's CRC over the same range as the module.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { kCertificateEntryHead = 8 };  // dwLength, wRevision, wCertificateType

struct CertificateTable {
    uint32_t offset;  // file offset of the first entry
    uint32_t size;
};

// data: the first bytes of the image (PE32 or PE32+). TRUE when its security
// directory names a table that starts at or behind headerEnd at a multiple
// of 8 and ends exactly at fileSize; its entry is still to be checked.
bool CertificateTableFromBytes(const uint8_t* data, size_t count, uint64_t headerEnd, uint64_t fileSize,
                               CertificateTable* table);

// head: the table's first kCertificateEntryHead bytes. TRUE for a PKCS#7
// entry of revision 2.0 whose length lies within the table.
bool CertificateEntryValid(const uint8_t* head, uint32_t tableSize);
