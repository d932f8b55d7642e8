#include "vuvpack/lzx/e8_translation.h"

#include "base/little_endian.h"
#include "vuvpack/lzx/lzx_format.h"

// The inverse of the decoder's rule, which turns an absolute value a with
// -position <= a < fileSize into a - position (a >= 0) or a + fileSize
// (a < 0), and leaves any other value as it is.
static int64_t AbsoluteOperand(int64_t relative, int64_t position, int64_t fileSize) {
    if (relative >= -position && relative < fileSize - position) return relative + position;
    if (relative >= fileSize - position && relative < fileSize) return relative - fileSize;
    return relative;
}

void TranslateE8Frame(uint8_t* data, uint32_t size, uint32_t framePosition, int32_t fileSize) {
    if (size <= 10) return;
    uint32_t i = 0;
    while (i < size - 10) {
        if (data[i] != 0xE8) {
            i++;
            continue;
        }
        int32_t relative = (int32_t)ReadU32(data + i + 1);
        int64_t absolute = AbsoluteOperand(relative, (int64_t)framePosition + i, fileSize);
        WriteU32(data + i + 1, (uint32_t)(int32_t)absolute);
        i += 5;
    }
}
