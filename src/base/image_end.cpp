#include "base/image_end.h"

#include "base/little_endian.h"

uint32_t ImageEndFromBytes(const uint8_t* data, size_t count) {
    enum { kSectionHeader = 40, kMinimumRead = 512, kPeHeaderRoom = 312 };
    const uint32_t kInitializedData = 0x00000040, kMemRead = 0x40000000;

    if (count > kImageProbeBytes) count = kImageProbeBytes;
    if (count < kMinimumRead || data[0] != 'M' || data[1] != 'Z') return 0;
    int32_t peOffset = (int32_t)ReadU32(data + 0x3C);
    if (peOffset <= 0 || peOffset >= (int32_t)count - kPeHeaderRoom) return 0;
    if (ReadU32(data + peOffset) != 0x00004550) return 0;

    uint32_t sectionCount = ReadU16(data + peOffset + 6);
    uint32_t optionalSize = ReadU16(data + peOffset + 20);
    size_t cursor = (size_t)peOffset + 24 + optionalSize;

    // Counts the readable or initialised sections and stops at the last
    // header. A section of neither kind before the last one would carry the
    // cursor past the section table into whatever bytes follow it: such an
    // image has no end we can tell.
    uint32_t k = 1;
    uint32_t index = 0;
    while (k < sectionCount) {
        if (cursor + kSectionHeader + 1 > count || index + 1 >= sectionCount) return 0;
        uint32_t characteristics = ReadU32(data + cursor + 36);
        if (characteristics & (kInitializedData | kMemRead)) k++;
        cursor += kSectionHeader;
        index++;
    }
    if (k != sectionCount || cursor + kSectionHeader > count) return 0;
    return ReadU32(data + cursor + 20) + ReadU32(data + cursor + 16);
}
