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

// Text of 64 letters (as base64 is) for textFrames frames, then
// noiseFrames frames of random bytes, as compressed data is: the text's
// codes leave the noise's other 192 bytes such long codes that a noise
// frame coded with them passes what one data block may hold.
Bytes TextThenNoise(TestRandom* random, size_t textFrames, size_t noiseFrames) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Bytes bytes;
    for (size_t at = 0; at < textFrames * kFrame; at++) bytes.push_back((uint8_t)kLetters[random->Below(64)]);
    Bytes noise = RandomBytes(random, noiseFrames * kFrame);
    bytes.insert(bytes.end(), noise.begin(), noise.end());
    return bytes;
}

// A frame whose data block would not fit with its block's codes ends the
// block before it and starts the next; it is sent as it is only alone.
// The package stays within 3 % of MSZIP's, and every decoder reads it.
TEST_P(LzxBlockChoice, AFrameThatDoesNotFitEndsTheBlockBeforeIt) {
    TestRandom random(52);
    const Bytes data = TextThenNoise(&random, 7, 2);
    const std::vector<MemoryFile> files = {{"text_then_noise.bin", data}};
    LzxSettings chosen;
    chosen.level = GetParam();
    LzxSettings fixed = chosen;
    fixed.blockFrames = 8;
    struct Row {
        const char* what;
        LzxSettings settings;
    };
    const Row rows[] = {{"the level's blocks", chosen}, {"fixed blocks of 8", fixed}};
    CabinetSettings settings;
    settings.method = kCompressMszip;
    WriteMemoryCabinet(Path("mszip.cab"), files, settings);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LzxEncoder encoder;
        Encode(&encoder, row.settings, data);
        size_t textFramesCoded = 0;
        for (const LzxBlockRecord& block : encoder.blocks) {
            if (block.type == kLzxBlockUncompressed) break;
            textFramesCoded += block.frames;
        }
        EXPECT_GE(textFramesCoded, 7u) << BlocksText(encoder.blocks);
        settings.method = kCompressLzx;
        settings.lzx = row.settings;
        WriteMemoryCabinet(Path("lzx.cab"), files, settings);
        EXPECT_LE(CabinetSize(Path("lzx.cab")) * 100, CabinetSize(Path("mszip.cab")) * 103);
        ExpectEveryDecoderExtracts(Path("lzx.cab"), Path("lzx"), files);
    }
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
