// Code lengths as the LZX decoders' tables need them: complete, within
// the length limit, and canonical codes that no other code begins.
#include "support/test_data.h"
#include "vuvpack/lzx/huffman_code.h"

namespace {

// 2^maxLength times the Kraft sum: 2^maxLength for a complete code.
uint64_t KraftUnits(const std::vector<uint8_t>& lengths, int maxLength) {
    uint64_t units = 0;
    for (uint8_t length : lengths) {
        if (length) units += 1ull << (maxLength - length);
    }
    return units;
}

TEST(HuffmanCode, LengthsAreCompleteWithinTheLimitAndCodesArePrefixFree) {
    struct Case {
        const char* what;
        std::vector<uint32_t> counts;
        int maxLength;
    };
    std::vector<Case> cases;
    std::vector<uint32_t> fibonacci(40, 0);
    fibonacci[0] = fibonacci[1] = 1;
    for (size_t i = 2; i < fibonacci.size(); i++) fibonacci[i] = fibonacci[i - 1] + fibonacci[i - 2];
    cases.push_back({"Fibonacci counts, 16 bits", fibonacci, 16});
    cases.push_back({"Fibonacci counts, pretree's 15 bits",
                     std::vector<uint32_t>(fibonacci.begin(), fibonacci.begin() + 20), 15});
    TestRandom random(40);
    std::vector<uint32_t> main(656);
    for (uint32_t& count : main) count = random.Below(3) == 0 ? 0 : random.Below(1u << random.Below(20));
    cases.push_back({"main tree of 656 symbols", main, 16});
    cases.push_back({"two symbols", {0, 0, 5, 0, 9}, 16});
    cases.push_back({"equal counts", std::vector<uint32_t>(249, 7), 16});
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        int n = (int)row.counts.size();
        std::vector<uint8_t> lengths(n);
        BuildCodeLengths(row.counts.data(), n, row.maxLength, lengths.data());
        for (int s = 0; s < n; s++) {
            EXPECT_EQ(row.counts[s] != 0, lengths[s] != 0) << "symbol " << s;
            EXPECT_LE(lengths[s], row.maxLength);
        }
        EXPECT_EQ(1ull << row.maxLength, KraftUnits(lengths, row.maxLength));
        std::vector<uint16_t> codes(n);
        BuildCanonicalCodes(lengths.data(), n, codes.data());
        for (int a = 0; a < n; a++) {
            for (int b = 0; b < n && lengths[a]; b++) {
                if (a == b || lengths[b] < lengths[a]) continue;
                EXPECT_NE(codes[a], codes[b] >> (lengths[b] - lengths[a])) << a << " begins " << b;
            }
        }
    }
}

TEST(HuffmanCode, NoUsedSymbolGivesNoCodeAndOneGetsAPartner) {
    uint32_t none[5] = {};
    uint8_t lengths[5] = {9, 9, 9, 9, 9};
    BuildCodeLengths(none, 5, 16, lengths);
    EXPECT_EQ(std::vector<uint8_t>(5, 0), std::vector<uint8_t>(lengths, lengths + 5));
    for (int used : {0, 3}) {
        uint32_t one[5] = {};
        one[used] = 42;
        BuildCodeLengths(one, 5, 16, lengths);
        EXPECT_EQ(1, lengths[used]);
        EXPECT_EQ(1ull << 16, KraftUnits(std::vector<uint8_t>(lengths, lengths + 5), 16)) << "complete";
    }
}

}  // namespace
