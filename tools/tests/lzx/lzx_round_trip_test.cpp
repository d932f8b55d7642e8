// Cabinets of our writer, every method and window, through the independent
// decoders: every file comes out as it went in.
#include <functional>

#include "support/cabinet_decoders.h"
#include "support/test_data.h"
#include "vuvpack/lzx/e8_translation.h"

namespace {

CabinetSettings Lzx(LzxLevel level, int windowBits, bool e8 = true) {
    CabinetSettings settings;
    settings.method = kCompressLzx;
    settings.lzx.level = level;
    settings.lzx.windowBits = windowBits;
    settings.lzx.e8 = e8;
    return settings;
}

CabinetSettings Method(CabinetMethod method) {
    CabinetSettings settings;
    settings.method = method;
    return settings;
}

std::vector<MemoryFile> One(const Bytes& bytes) { return {{"data.bin", bytes}}; }

// Bytes with E8 at each of the given positions, each followed by an
// operand that the translation changes.
Bytes WithCallsAt(size_t size, const std::vector<size_t>& positions) {
    TestRandom random(7);
    Bytes bytes = TextBytes(&random, size);
    for (size_t at : positions) {
        bytes[at] = 0xE8;
        for (size_t i = 1; i <= 4 && at + i < size; i++) bytes[at + i] = (uint8_t)(i == 1 ? 0x10 : 0);
    }
    return bytes;
}

// A match at the format's largest distance (the window less 3) right
// after a match from 100 bytes back: 7-Zip's decoder gets that one wrong.
Bytes WithFarMatch(int windowBits) {
    TestRandom random(21);
    size_t distance = ((size_t)1 << windowBits) - 3;
    Bytes bytes = RandomBytes(&random, distance);
    for (size_t i = distance - 100; i < distance; i++) bytes[i] = bytes[i - 100];
    for (size_t i = 0; i < 12; i++) bytes.push_back(bytes[i]);
    Bytes tail = RandomBytes(&random, 100);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

// Pieces copied from farther back at distances that are multiples of 8,
// between random bytes: the low 3 bits of the distances alike, where
// aligned-offset blocks pay.
Bytes WithAlignedDistances() {
    TestRandom random(22);
    Bytes bytes = RandomBytes(&random, 65536);
    while (bytes.size() < 400000) {
        size_t distance = 8 * (8 + random.Below(8000));
        size_t length = 4 + random.Below(40);
        for (size_t i = 0; i < length; i++) bytes.push_back(bytes[bytes.size() - distance]);
        Bytes noise = RandomBytes(&random, 1 + random.Below(3));
        bytes.insert(bytes.end(), noise.begin(), noise.end());
    }
    return bytes;
}

struct RoundTripCase {
    const char* what;
    CabinetSettings settings;
    std::function<std::vector<MemoryFile>()> files;
};

// Every test of the compressor runs at every level: the levels share all
// but the parser.
class LzxRoundTrip : public ToolTest, public ::testing::WithParamInterface<LzxLevel> {
protected:
    CabinetSettings Lzx(int windowBits, bool e8 = true) const { return ::Lzx(GetParam(), windowBits, e8); }
};

INSTANTIATE_TEST_SUITE_P(Level, LzxRoundTrip, EveryLzxLevel(), LzxLevelName);

TEST_P(LzxRoundTrip, EveryDecoderExtractsEveryCase) {
    const size_t kFrame = 32768;
    const std::string kStub(VUV_STUB_PATH);
    std::vector<RoundTripCase> cases = {
        {"empty file", Lzx(21), [] { return One({}); }},
        {"one byte", Lzx(21), [] { return One({0x42}); }},
        {"frame - 1", Lzx(16), [=] { TestRandom r(1); return One(TextBytes(&r, kFrame - 1)); }},
        {"frame", Lzx(16), [=] { TestRandom r(2); return One(TextBytes(&r, kFrame)); }},
        {"frame + 1", Lzx(16), [=] { TestRandom r(3); return One(TextBytes(&r, kFrame + 1)); }},
        {"block of frames + 1", Lzx(17), [=] { TestRandom r(4); return One(RepeatBytes(&r, 8 * kFrame + 1)); }},
        {"frame edges between files",
         Lzx(15),
         [=] {
             TestRandom r(5);
             return std::vector<MemoryFile>{{"a.txt", TextBytes(&r, kFrame - 3)},
                                            {"b.bin", Bytes(3, 'x')},
                                            {"c.txt", TextBytes(&r, kFrame + 7)},
                                            {"empty", {}},
                                            {"d.txt", TextBytes(&r, 11)}};
         }},
        {"many small files",
         Lzx(21),
         [] {
             TestRandom r(6);
             std::vector<MemoryFile> files;
             for (int i = 0; i < 300; i++) {
                 files.push_back({"dir" + std::to_string(i % 7) + "\\f" + std::to_string(i) + ".txt",
                                  TextBytes(&r, r.Below(200))});
             }
             return files;
         }},
        {"incompressible, odd length", Lzx(21), [] { TestRandom r(8); return One(RandomBytes(&r, 300001)); }},
        {"incompressible then text",
         Lzx(18),
         [] {
             TestRandom r(9);
             Bytes bytes = RandomBytes(&r, 9 * 32768 + 5);
             Bytes text = TextBytes(&r, 200000);
             bytes.insert(bytes.end(), text.begin(), text.end());
             return One(bytes);
         }},
        {"long runs of one byte", Lzx(21), [] { return One(Bytes(3000000, 0)); }},
        {"runs", Lzx(19), [] { TestRandom r(10); return One(RunBytes(&r, 400000)); }},
        {"text", Lzx(20), [] { TestRandom r(11); return One(TextBytes(&r, 500000)); }},
        {"calls, translation on", Lzx(21, true), [] { TestRandom r(12); return One(CallBytes(&r, 400000)); }},
        {"calls, translation off", Lzx(21, false), [] { TestRandom r(12); return One(CallBytes(&r, 400000)); }},
        {"E8 in the last 10 bytes of frames",
         Lzx(15),
         [=] {
             return One(WithCallsAt(3 * kFrame + 20, {kFrame - 11, kFrame - 10, kFrame - 5, kFrame - 1,
                                                      2 * kFrame - 12, 2 * kFrame - 3, 3 * kFrame + 9}));
         }},
        {"the module's own code", Lzx(21), [=] { return One(ReadFile(kStub)); }},
        {"longer than the window",
         Lzx(15),
         [] {
             TestRandom r(13);
             Bytes piece = TextBytes(&r, 50000);
             Bytes bytes;
             for (int i = 0; i < 6; i++) bytes.insert(bytes.end(), piece.begin(), piece.end());
             return One(bytes);
         }},
        {"distances of multiples of 8", Lzx(17), [] { return One(WithAlignedDistances()); }},
        {"match at the window's far end", Lzx(15), [] { return One(WithFarMatch(15)); }},
        {"stored", Method(kCompressNone), [] { TestRandom r(14); return One(TextBytes(&r, 100001)); }},
        {"MSZIP", Method(kCompressMszip), [] { TestRandom r(15); return One(TextBytes(&r, 100001)); }},
    };
    for (int bits = 15; bits <= 21; bits++) {
        cases.push_back({"window", Lzx(bits), [] {
                             TestRandom r(16);
                             Bytes bytes = RepeatBytes(&r, 700000);
                             Bytes calls = CallBytes(&r, 100000);
                             bytes.insert(bytes.end(), calls.begin(), calls.end());
                             return One(bytes);
                         }});
    }
    for (const RoundTripCase& row : cases) {
        int bits = row.settings.method == kCompressLzx ? row.settings.lzx.windowBits : 0;
        SCOPED_TRACE(std::string(row.what) + " (window bits " + std::to_string(bits) + ")");
        std::vector<MemoryFile> files = row.files();
        std::string cabinet = Path("case.cab");
        WriteMemoryCabinet(cabinet, files, row.settings);
        ExpectEveryDecoderExtracts(cabinet, Path("out"), files);
    }
}

TEST_P(LzxRoundTrip, FilesSpreadOverSeveralFolders) {
    TestRandom r(17);
    std::vector<MemoryFile> files;
    for (int i = 0; i < 9; i++) files.push_back({"f" + std::to_string(i), TextBytes(&r, 20000 + 7001 * i)});
    for (CabinetMethod method : {kCompressNone, kCompressMszip, kCompressLzx}) {
        SCOPED_TRACE(method);
        CabinetSettings settings = method == kCompressLzx ? Lzx(16) : Method(method);
        settings.folderLimit = 100000;
        WriteMemoryCabinet(Path("folders.cab"), files, settings);
        Bytes cabinet = ReadFile(Path("folders.cab"));
        // Each folder filled up to the limit, no file split: 20000+27001+34002,
        // 41003+48004, 55005, 62006, 69007, 76008.
        EXPECT_EQ(6u, U16At(cabinet, 26)) << "cFolders";
        ExpectEveryDecoderExtracts(Path("folders.cab"), Path("out"), files);
    }
}

// The decoder's side of E8 translation, for frames it translates: an
// operand -position <= a < fileSize becomes a - position or a + fileSize.
void UndoE8Frame(uint8_t* data, size_t size, int64_t framePosition, int64_t fileSize) {
    if (size <= 10) return;
    for (size_t i = 0; i < size - 10; i++) {
        if (data[i] != 0xE8) continue;
        int32_t value = (int32_t)(data[i + 1] | data[i + 2] << 8 | data[i + 3] << 16 | (uint32_t)data[i + 4] << 24);
        int64_t position = framePosition + (int64_t)i;
        if (value >= -position && value < fileSize) {
            int64_t relative = value >= 0 ? value - position : value + fileSize;
            for (int b = 0; b < 4; b++) data[i + 1 + b] = (uint8_t)((uint32_t)relative >> (8 * b));
        }
        i += 4;
    }
}

TEST(E8Translation, DecodersRuleUndoesItAndTheLastTenBytesStay) {
    TestRandom r(18);
    for (int round = 0; round < 50; round++) {
        Bytes frame = CallBytes(&r, 1 + r.Below(32768));
        if (frame.size() >= 20) {
            // A call in the last 10 bytes, none before whose operand reaches them.
            std::fill(frame.end() - 15, frame.end(), 0x90);
            frame[frame.size() - 10] = 0xE8;
            frame[frame.size() - 9] = 0x10;
        }
        Bytes original = frame;
        uint32_t position = r.Below(4) * 32768;
        int32_t fileSize = (int32_t)(1 + r.Below(3 * 32768));
        TranslateE8Frame(frame.data(), (uint32_t)frame.size(), position, fileSize);
        if (frame.size() > 10) {
            EXPECT_TRUE(std::equal(frame.end() - 10, frame.end(), original.end() - 10));
            EXPECT_NE(original, frame) << "nothing translated in " << frame.size() << " bytes";
        }
        UndoE8Frame(frame.data(), frame.size(), position, fileSize);
        ASSERT_EQ(original, frame) << "round " << round;
    }
}

// Decoders translate the first 32768 frames of a folder; the encoder's
// limit is a setting, so that a limit of 2 shows what happens past it: the
// encoder leaves frame 2 on as it is, which the decoders then translate
// back (a change only the test expects).
TEST_P(LzxRoundTrip, TranslationStopsAtTheFrameLimitCountedFromTheFoldersStart) {
    TestRandom r(19);
    std::vector<MemoryFile> files = {{"first", CallBytes(&r, 40000)}, {"second", CallBytes(&r, 70000)}};
    CabinetSettings settings = Lzx(16);
    settings.lzx.e8FrameLimit = 2;
    WriteMemoryCabinet(Path("limit.cab"), files, settings);
    Bytes folder = files[0].bytes;
    folder.insert(folder.end(), files[1].bytes.begin(), files[1].bytes.end());
    for (size_t start = 2 * 32768; start < folder.size(); start += 32768) {
        size_t size = std::min<size_t>(32768, folder.size() - start);
        UndoE8Frame(folder.data() + start, size, (int64_t)start, (int64_t)folder.size());
    }
    ASSERT_NE(files[1].bytes, Bytes(folder.begin() + 40000, folder.end())) << "frame 2 has calls to change";
    std::vector<MemoryFile> expected = {{"first", Bytes(folder.begin(), folder.begin() + 40000)},
                                        {"second", Bytes(folder.begin() + 40000, folder.end())}};
    ExpectEveryDecoderExtracts(Path("limit.cab"), Path("out"), expected);
}

// Random payloads from every generator, random windows, translation on or
// off: every decoder gives back the same bytes.
TEST_P(LzxRoundTrip, RandomPayloadsComeBackFromEveryDecoder) {
    Bytes (*const generators[])(TestRandom*, size_t) = {RandomBytes, TextBytes, RunBytes, CallBytes, RepeatBytes};
    TestRandom r(20);
    for (int round = 0; round < 24; round++) {
        std::vector<MemoryFile> files;
        int fileCount = 1 + (int)r.Below(4);
        for (int i = 0; i < fileCount; i++) {
            size_t size = r.Below(3) == 0 ? r.Below(100) : r.Below(300000);
            Bytes bytes;
            while (bytes.size() < size) {
                Bytes piece = generators[r.Below(5)](&r, std::min<size_t>(size - bytes.size(), 1 + r.Below(80000)));
                bytes.insert(bytes.end(), piece.begin(), piece.end());
            }
            files.push_back({"file" + std::to_string(i), bytes});
        }
        CabinetSettings settings = Lzx(15 + (int)r.Below(7), r.Below(4) != 0);
        SCOPED_TRACE("round " + std::to_string(round) + ", window bits " + std::to_string(settings.lzx.windowBits) +
                     (settings.lzx.e8 ? ", translation" : ""));
        WriteMemoryCabinet(Path("random.cab"), files, settings);
        ExpectEveryDecoderExtracts(Path("random.cab"), Path("out"), files);
    }
}

}  // namespace
