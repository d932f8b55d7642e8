// Where LZX blocks end: where the data changes character, chosen by what
// the blocks cost, the fast level's fixed blocks aside; and the cost the
// choice sees is what the writer then writes.
#include "support/cabinet_decoders.h"
#include "support/test_data.h"
#include "vuvpack/lzx/lzx_encoder.h"

namespace {

const uint32_t kFrame = 32768;

// The data through an encoder frame by frame, as the cabinet writer sends it.
void Encode(LzxEncoder* encoder, const LzxSettings& settings, Bytes data) {
    StartLzx(encoder, settings, data.size());
    for (size_t at = 0; at < data.size(); at += kFrame) {
        AddLzxFrame(encoder, data.data() + at, (uint32_t)std::min<size_t>(kFrame, data.size() - at));
    }
    FinishLzx(encoder);
}

std::string BlocksText(const std::vector<LzxBlockRecord>& blocks) {
    std::string text;
    for (const LzxBlockRecord& block : blocks) {
        text += (text.empty() ? "" : ", ") + std::to_string(block.frames) +
                (block.type == kLzxBlockUncompressed ? " as they are" : " coded");
    }
    return text;
}

size_t CabinetSize(const std::string& path) { return ReadFile(path).size(); }

class LzxBlockChoice : public ToolTest, public ::testing::WithParamInterface<LzxLevel> {};

INSTANTIATE_TEST_SUITE_P(Level, LzxBlockChoice, EveryLzxLevel(), LzxLevelName);

// The default and best levels end a block where the text stops and where
// it starts again, and send the noise as it is; the fast level keeps its
// fixed blocks of 8 frames. Either way no package is larger than with
// fixed blocks, and every decoder reads both.
TEST_P(LzxBlockChoice, BlocksEndWhereTheDataChangesAndCostNoMoreThanFixedOnes) {
    TestRandom random(50);
    const Bytes data = TextNoiseTextBytes(&random);
    const std::vector<MemoryFile> files = {{"mixed.bin", data}};
    LzxSettings chosen;
    chosen.level = GetParam();
    LzxSettings fixed = chosen;
    fixed.blockFrames = 8;

    LzxEncoder encoder;
    Encode(&encoder, chosen, data);
    std::string chosenBlocks = BlocksText(encoder.blocks);
    Encode(&encoder, fixed, data);
    std::string fixedBlocks = BlocksText(encoder.blocks);
    if (GetParam() == kLzxLevelFast) {
        EXPECT_EQ(fixedBlocks, chosenBlocks);
    } else {
        EXPECT_EQ("3 coded, 4 as they are, 3 coded", chosenBlocks);
    }
    EXPECT_EQ("8 coded, 2 coded", fixedBlocks);

    CabinetSettings settings;
    settings.method = kCompressLzx;
    settings.lzx = chosen;
    WriteMemoryCabinet(Path("chosen.cab"), files, settings);
    settings.lzx = fixed;
    WriteMemoryCabinet(Path("fixed.cab"), files, settings);
    EXPECT_LE(CabinetSize(Path("chosen.cab")), CabinetSize(Path("fixed.cab")));
    if (GetParam() != kLzxLevelFast) {
        // The noise costs about a byte less per 1000 sent as it is; the
        // text's codes have no noise in them.
        EXPECT_LT(CabinetSize(Path("chosen.cab")) + 600, CabinetSize(Path("fixed.cab")));
    }
    ExpectEveryDecoderExtracts(Path("chosen.cab"), Path("chosen"), files);
    ExpectEveryDecoderExtracts(Path("fixed.cab"), Path("fixed"), files);
}

// The bits the choice counts for a block (trees against the trees before,
// symbols under the block's codes) are the bits written: the chunks hold
// them, with the stream header and up to 15 bits of padding per frame (the
// count takes 16 for the uncompressed block's).
TEST(LzxBlockCost, TheCostOfTheOpenBlockIsWhatTheWriterWrites) {
    struct Case {
        const char* what;
        Bytes data;
        bool e8;
    };
    TestRandom random(51);
    const Case cases[] = {
        {"text, one frame", TextBytes(&random, kFrame), false},
        {"calls, five frames and a bit", CallBytes(&random, 5 * kFrame + 300), true},
        {"repeats, two frames", RepeatBytes(&random, 2 * kFrame), false},
        {"noise, uncompressed", RandomBytes(&random, 3 * kFrame + 1), false},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        LzxSettings settings;
        settings.e8 = row.e8;
        LzxEncoder encoder;
        Bytes data = row.data;
        StartLzx(&encoder, settings, data.size());
        size_t frames = 0;
        for (size_t at = 0; at < data.size(); at += kFrame, frames++) {
            AddLzxFrame(&encoder, data.data() + at, (uint32_t)std::min<size_t>(kFrame, data.size() - at));
        }
        ASSERT_EQ(frames, encoder.frameSizes.size()) << "one open block";
        uint64_t counted = encoder.blockBits + (row.e8 ? 33 : 1);
        bool coded = encoder.blockCoded;
        FinishLzx(&encoder);
        ASSERT_EQ(1u, encoder.blocks.size());
        EXPECT_EQ(coded, encoder.blocks[0].type != kLzxBlockUncompressed);
        uint64_t written = 0;
        for (const LzxChunk& chunk : encoder.chunks) written += 8 * chunk.bytes.size();
        EXPECT_LT(counted, written + 16);
        EXPECT_GT(counted + 16 * frames, written);
    }
}

}  // namespace
