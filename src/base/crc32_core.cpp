#include "base/crc32_core.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>
#endif

void Crc32BuildTables(Crc32Tables tables) {
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; bit++) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        tables[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; i++) {
        for (int slice = 1; slice < kCrcSlices; slice++) {
            uint32_t previous = tables[slice - 1][i];
            tables[slice][i] = (previous >> 8) ^ tables[0][previous & 0xFF];
        }
    }
}

uint32_t Crc32Fold(const Crc32Tables tables, uint32_t state, const uint8_t* bytes, size_t count) {
    while (count >= 8) {
        uint32_t low = state ^ ((uint32_t)bytes[0] | ((uint32_t)bytes[1] << 8) |
                                ((uint32_t)bytes[2] << 16) | ((uint32_t)bytes[3] << 24));
        uint32_t high = (uint32_t)bytes[4] | ((uint32_t)bytes[5] << 8) | ((uint32_t)bytes[6] << 16) |
                        ((uint32_t)bytes[7] << 24);
        state = tables[7][low & 0xFF] ^ tables[6][(low >> 8) & 0xFF] ^ tables[5][(low >> 16) & 0xFF] ^
                tables[4][low >> 24] ^ tables[3][high & 0xFF] ^ tables[2][(high >> 8) & 0xFF] ^
                tables[1][(high >> 16) & 0xFF] ^ tables[0][high >> 24];
        bytes += 8;
        count -= 8;
    }
    while (count--) state = (state >> 8) ^ tables[0][(state ^ *bytes++) & 0xFF];
    return state;
}

#if defined(__i386__) || defined(__x86_64__)
bool Crc32WideAvailable(void) {
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_PCLMUL) && (d & bit_SSE2);
}

// Folding by carry-less multiplication, in the reflected bit order: four
// 16-byte lanes are each carried 64 bytes ahead per step (multiplied by
// x^(512+32) and x^(512-32) mod P), then folded into one lane (the same
// with 128), reduced to 64 and 32 bits, and the remainder is taken by
// Barrett reduction with P and floor(x^64 / P).
static inline __m128i __attribute__((target("pclmul,sse2")))
FoldLane(__m128i lane, __m128i constants, __m128i next) {
    __m128i low = _mm_clmulepi64_si128(lane, constants, 0x00);
    __m128i high = _mm_clmulepi64_si128(lane, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

static inline __m128i __attribute__((target("sse2"))) Load(const uint8_t* bytes) {
    return _mm_loadu_si128((const __m128i*)bytes);
}

// The 32-bit Windows stack is only sure to be 4-byte aligned: realigned
// for any 16-byte value the compiler keeps there.
#if defined(__i386__)
#define VUV_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define VUV_ALIGN_STACK
#endif

VUV_ALIGN_STACK __attribute__((target("pclmul,sse2"))) uint32_t
Crc32FoldWide(const Crc32Tables tables, uint32_t state, const uint8_t* bytes, size_t count) {
    if (count < 64) return Crc32Fold(tables, state, bytes, count);
    size_t tail = count % 16;
    count -= tail;

    const __m128i by512 = _mm_set_epi64x(0x1C6E41596LL, 0x154442BD4LL);
    const __m128i by128 = _mm_set_epi64x(0x0CCAA009ELL, 0x1751997D0LL);
    const __m128i by64 = _mm_set_epi64x(0, 0x163CD6124LL);
    const __m128i barrett = _mm_set_epi64x(0x1F7011641LL, 0x1DB710641LL);
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);

    __m128i x0 = _mm_xor_si128(Load(bytes), _mm_cvtsi32_si128((int)state));
    __m128i x1 = Load(bytes + 16), x2 = Load(bytes + 32), x3 = Load(bytes + 48);
    bytes += 64;
    count -= 64;
    for (; count >= 64; bytes += 64, count -= 64) {
        x0 = FoldLane(x0, by512, Load(bytes));
        x1 = FoldLane(x1, by512, Load(bytes + 16));
        x2 = FoldLane(x2, by512, Load(bytes + 32));
        x3 = FoldLane(x3, by512, Load(bytes + 48));
    }
    x0 = FoldLane(x0, by128, x1);
    x0 = FoldLane(x0, by128, x2);
    x0 = FoldLane(x0, by128, x3);
    for (; count >= 16; bytes += 16, count -= 16) x0 = FoldLane(x0, by128, Load(bytes));

    x0 = _mm_xor_si128(_mm_srli_si128(x0, 8), _mm_clmulepi64_si128(x0, by128, 0x10));
    x0 = _mm_xor_si128(_mm_srli_si128(x0, 4), _mm_clmulepi64_si128(_mm_and_si128(x0, low32), by64, 0x00));
    __m128i quotient = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x0, low32), barrett, 0x10), low32);
    x0 = _mm_xor_si128(x0, _mm_clmulepi64_si128(quotient, barrett, 0x00));
    state = (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(x0, 4));
    return Crc32Fold(tables, state, bytes, tail);
}
#else
bool Crc32WideAvailable(void) { return false; }

uint32_t Crc32FoldWide(const Crc32Tables tables, uint32_t state, const uint8_t* bytes, size_t count) {
    return Crc32Fold(tables, state, bytes, count);
}
#endif
