#include "vuvpack/package/package_layout.h"

#include <stdio.h>
#include <string.h>

#include "base/image_end.h"
#include "base/little_endian.h"
#include "vuvpack/system/error_text.h"
#include "vuvpack/system/file_io.h"

int64_t FindCabinetSignature(const uint8_t* data, size_t count) {
    if (count < sizeof kCabinetSignature) return -1;
    for (size_t i = 0; i + sizeof kCabinetSignature <= count; i++) {
        if (data[i] == 'M' && memcmp(data + i, kCabinetSignature, sizeof kCabinetSignature) == 0) return (int64_t)i;
    }
    return -1;
}

size_t PaddingBeforeCabinet(uint64_t cabinetStart) {
    size_t inBlock = (size_t)(cabinetStart % kSearchBlock);
    if (inBlock + sizeof kCabinetSignature <= kSearchBlock) return 0;
    return kSearchBlock - inBlock;
}

size_t PaddingAfterCabinet(uint64_t packageEnd) {
    return (size_t)((kSignedAlignment - packageEnd % kSignedAlignment) % kSignedAlignment);
}

bool HeaderMagicValid(const PackageHeader& header) {
    return memcmp(header.magic, kHeaderMagic, 6) == 0 && header.magicLast == kHeaderMagic[7];
}

PackageHeader NewPackageHeader() {
    PackageHeader header;
    memset(&header, 0, sizeof header);
    memcpy(header.magic, kHeaderMagic, 6);
    header.variant = kVariantPlain;
    header.magicLast = kHeaderMagic[7];
    header.OpenFolderWhenDone = 1;
    return header;
}

static bool ReadAt(FILE* file, uint64_t offset, void* buffer, size_t count) {
    return SeekTo(file, offset) && fread(buffer, 1, count, file) == count;
}

// Tells a file that is no PE image at all from one whose image end the
// rule can't find.
static bool HasPeSignature(const uint8_t* data, size_t count) {
    if (count < 0x40 || data[0] != 'M' || data[1] != 'Z') return false;
    uint32_t peOffset = data[0x3C] | (data[0x3D] << 8) | (data[0x3E] << 16) | ((uint32_t)data[0x3F] << 24);
    return peOffset + 4 <= count && memcmp(data + peOffset, "PE\0\0", 4) == 0;
}

static bool ReadImage(FILE* file, StubImage* image, std::string* problem) {
    if (!RegularFileSize(file, &image->fileSize)) {
        *problem = "not a regular file";
        return false;
    }
    uint8_t probe[kImageProbeBytes];
    size_t probeCount = fread(probe, 1, sizeof probe, file);
    uint32_t imageEnd = ImageEndFromBytes(probe, probeCount);
    if (imageEnd == 0) {
        *problem = HasPeSignature(probe, probeCount)
                       ? "the end of its image can't be found (its last section header is past the first "
                         "4096 bytes, or a section is neither readable nor initialised data)"
                       : "not a PE image";
        return false;
    }
    if (imageEnd > image->fileSize) {
        *problem = "truncated: its image ends at " + std::to_string(imageEnd) + " but the file has " +
                   std::to_string(image->fileSize) + " bytes";
        return false;
    }
    image->bytes.resize(imageEnd);
    if (!ReadAt(file, 0, image->bytes.data(), imageEnd)) {
        *problem = "can't be read";
        return false;
    }
    PackageHeader header;
    image->endsInPackage = image->fileSize > imageEnd + (uint64_t)kHeaderSize &&
                           ReadAt(file, imageEnd, &header, sizeof header) && HeaderMagicValid(header);
    return true;
}

bool ReadStubImage(const std::string& path, StubImage* image, std::string* problem) {
    FILE* file = OpenForReading(path);
    if (!file) {
        *problem = ErrnoText();
        return false;
    }
    bool ok = ReadImage(file, image, problem);
    fclose(file);
    return ok;
}

bool ClearCertificateEntry(std::vector<uint8_t>* image) {
    // Offsets in the optional header, by layout: its checksum, and the
    // count of data directories and the security directory of PE32 and PE32+.
    enum { kOptionalHeaderAt = 24, kChecksumAt = 64, kSecurityIndex = 4 };
    std::vector<uint8_t>& bytes = *image;
    if (bytes.size() < 0x40) return false;
    uint64_t optional = ReadU32(&bytes[0x3C]) + (uint64_t)kOptionalHeaderAt;
    if (optional + 2 > bytes.size()) return false;
    uint16_t magic = ReadU16(&bytes[optional]);
    uint64_t countAt = optional + (magic == 0x10B ? 92 : magic == 0x20B ? 108 : 0);
    if (countAt == optional || countAt + 4 + (kSecurityIndex + 1) * 8 > bytes.size()) return false;
    if (ReadU32(&bytes[countAt]) <= kSecurityIndex) return false;
    uint8_t* entry = &bytes[countAt + 4 + kSecurityIndex * 8];
    if (ReadU32(entry) == 0 && ReadU32(entry + 4) == 0) return false;
    memset(entry, 0, 8);
    memset(&bytes[optional + kChecksumAt], 0, 4);
    return true;
}

void CrcStart(CrcRun* run) {
    Crc32BuildTables(run->tables);
    run->state = 0xFFFFFFFFu;
}

void CrcAdd(CrcRun* run, const uint8_t* bytes, size_t count) {
    run->state = Crc32Fold(run->tables, run->state, bytes, count);
}

uint32_t CrcValue(const CrcRun& run) { return ~run.state; }
