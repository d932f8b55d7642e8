// The E8 limit at its real place: a folder just past 1 GiB with calls in
// frames 32767 and 32768. The encoder translates the first and not the
// second; every decoder that follows the format gives both back as packed.
// A long run, not part of the suite: about 3 GiB of temporary disk.
#include <filesystem>

#include "support/cabinet_decoders.h"

namespace {

const size_t kFrame = 32768;
const size_t kLimitFrames = 32768;

class E8LimitLong : public ToolTest {};

TEST_F(E8LimitLong, CallsEitherSideOfTheLimitComeBackFromTheDecodersThatFollowTheFormat) {
    Bytes folder((kLimitFrames + 1) * kFrame + 1000, 0);
    for (size_t frame : {kLimitFrames - 1, kLimitFrames}) {
        size_t at = frame * kFrame + 100;
        folder[at] = 0xE8;
        folder[at + 1] = 0x10;
    }
    std::vector<MemoryFile> files = {{"past_the_limit.bin", std::move(folder)}};
    CabinetSettings settings;
    settings.method = kCompressLzx;
    settings.lzx.level = kLzxLevelFast;
    WriteMemoryCabinet(Path("limit.cab"), files, settings);
    // libarchive goes on translating past the limit; the others stop there.
    for (const CabinetDecoder& decoder : kCabinetDecoders) {
        if (std::string(decoder.name) == "bsdtar") continue;
        std::string out = Path(std::string("out-") + decoder.name);
        ExpectDecoderExtracts(decoder, Path("limit.cab"), out, files);
        std::filesystem::remove_all(out);
    }
}

}  // namespace
