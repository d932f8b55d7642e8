// The bytes a build writes: image, header fields at their offsets, cabinet.
#include <string.h>

#include <set>

#include "support/cab_entries.h"
#include "support/pe_fixture.h"
#include "support/tool_test.h"

namespace {

class LayoutTest : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        stub_ = Path("stub.exe");
        WriteFile(stub_, MakePeEndingAt(126976));
        cab_ = MakeCabinet("payload.cab", {{"setup.exe", "not really a program"}});
    }

    // Builds with the given header options; returns the package bytes.
    Bytes Build(const std::vector<std::string>& options) {
        std::vector<std::string> args = {"build", "--stub", stub_, "--cab", cab_, "-o", Path("out.exe")};
        args.insert(args.end(), options.begin(), options.end());
        RunResult run = RunVuvpack(args);
        EXPECT_EQ(0, run.status) << run.err;
        return ReadFile(Path("out.exe"));
    }

    std::string stub_, cab_;
};

// Every byte of a text field: the text, a NUL, then zeros to the field end.
void ExpectField(const Bytes& package, size_t offset, size_t chars, const std::u16string& text) {
    std::u16string expected = text;
    expected.resize(chars, u'\0');
    EXPECT_EQ(expected, Utf16At(package, offset, chars)) << "field at " << offset;
}

TEST_F(LayoutTest, SamplePackageHasEveryFieldAtItsOffset) {
    Bytes package = Build({"--destination", "%temp%", "--command", "setup.exe", "--delete-after-run",
                           "--no-dialog", "--no-open-folder", "--confirm-caption", "Setup",
                           "--confirm-prompt", "Install the sample?"});
    Bytes stub = ReadFile(stub_), cab = ReadFile(cab_);
    ASSERT_EQ((127972 + cab.size() + 7) / 8 * 8, package.size()) << "zero bytes up to a multiple of 8";
    size_t cabinetEnd = 127972 + cab.size();
    EXPECT_EQ(Bytes(package.size() - cabinetEnd, 0), Bytes(package.begin() + cabinetEnd, package.end()));
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), package.begin())) << "the image is copied unchanged";
    EXPECT_EQ(0, memcmp(&package[126976], "KELPIX3U", 8));
    ExpectField(package, 126976 + 8, 260, u"%temp%");
    ExpectField(package, 126976 + 528, 128, u"setup.exe");
    EXPECT_EQ(0u, U32At(package, 126976 + 784)) << "OverwriteAll";
    EXPECT_EQ(0u, U32At(package, 126976 + 788)) << "OpenFolderWhenDone";
    EXPECT_EQ(1u, U32At(package, 126976 + 792)) << "DeleteAfterRun";
    EXPECT_EQ(1u, U32At(package, 126976 + 796)) << "SkipDestinationDialog";
    EXPECT_EQ(0u, U32At(package, 126976 + 800)) << "PackageCrc";
    ExpectField(package, 126976 + 804, 32, u"Setup");
    ExpectField(package, 126976 + 868, 64, u"Install the sample?");
    EXPECT_TRUE(std::equal(cab.begin(), cab.end(), package.begin() + 127972)) << "the cabinet follows the header";

    RunResult inspect = RunVuvpack({"inspect", Path("out.exe")});
    EXPECT_EQ(0, inspect.status) << inspect.err;
    EXPECT_NE(std::string::npos, inspect.out.find("image end: 126976\n"));
    EXPECT_NE(std::string::npos, inspect.out.find("cabinet offset: 127972\n"));
}

struct FlagCase {
    std::vector<std::string> options;
    char variant;
    uint32_t overwriteAll, openFolderWhenDone, deleteAfterRun, skipDestinationDialog;
};

TEST_F(LayoutTest, OptionsSetTheirFieldsAndDefaultsMatchTheModule) {
    const FlagCase cases[] = {
        {{}, '3', 0, 1, 0, 0},
        {{"--overwrite-all"}, '3', 1, 1, 0, 0},
        {{"--no-open-folder"}, '3', 0, 0, 0, 0},
        {{"--command", "a.exe", "--delete-after-run"}, '3', 0, 1, 1, 0},
        {{"--no-dialog"}, '3', 0, 1, 0, 1},
        {{"--command", "a.exe", "--x64"}, '6', 0, 1, 0, 0},
        {{"--overwrite-all", "--no-open-folder", "--no-dialog"}, '3', 1, 0, 0, 1},
    };
    for (const FlagCase& row : cases) {
        std::string joined;
        for (const std::string& option : row.options) joined += option + " ";
        SCOPED_TRACE(joined);
        Bytes package = Build(row.options);
        ASSERT_GE(package.size(), 127972u);
        EXPECT_EQ(row.variant, (char)package[126976 + 6]);
        EXPECT_EQ(row.overwriteAll, U32At(package, 126976 + 784));
        EXPECT_EQ(row.openFolderWhenDone, U32At(package, 126976 + 788));
        EXPECT_EQ(row.deleteAfterRun, U32At(package, 126976 + 792));
        EXPECT_EQ(row.skipDestinationDialog, U32At(package, 126976 + 796));
        EXPECT_EQ(0u, U32At(package, 126976 + 800));
    }
}

TEST_F(LayoutTest, FlagsThatNeedACommandWarnWithoutOne) {
    RunResult run = RunVuvpack({"build", "--stub", stub_, "--cab", cab_, "-o", Path("out.exe"),
                                "--delete-after-run", "--x64"});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("warning: --delete-after-run without --command"));
    EXPECT_NE(std::string::npos, run.err.find("warning: --x64 without --command"));
    RunResult quiet = RunVuvpack({"build", "--stub", stub_, "--cab", cab_, "-o", Path("out2.exe"), "--command",
                                  "a.exe", "--delete-after-run", "--x64"});
    EXPECT_EQ(0, quiet.status);
    EXPECT_EQ("", quiet.err);
}

struct LimitCase {
    const char* option;
    size_t offset;  // in the header
    size_t limit;   // UTF-16 units without the terminator
};

const LimitCase kLimits[] = {
    {"--destination", 8, 259},
    {"--command", 528, 127},
    {"--confirm-caption", 804, 31},
    {"--confirm-prompt", 868, 63},
};

TEST_F(LayoutTest, TextFieldsTakeTheirLimitAndRefuseOneMore) {
    for (const LimitCase& row : kLimits) {
        SCOPED_TRACE(row.option);
        Bytes package = Build({row.option, std::string(row.limit, 'a')});
        ASSERT_GE(package.size(), 127972u);
        ExpectField(package, 126976 + row.offset, row.limit + 1, std::u16string(row.limit, u'a'));

        std::string refused = Path("refused.exe");
        RunResult run = RunVuvpack({"build", "--stub", stub_, "--cab", cab_, "-o", refused, row.option,
                                    std::string(row.limit + 1, 'a')});
        EXPECT_EQ(2, run.status);
        EXPECT_NE(std::string::npos, run.err.find(std::string(row.option) + ": " + std::to_string(row.limit + 1) +
                                                  " characters, the header holds at most " +
                                                  std::to_string(row.limit)))
            << run.err;
        EXPECT_FALSE(PathExists(refused));
    }
}

// Limits count UTF-16 units: a character outside the BMP takes two, a
// three-byte UTF-8 character one.
TEST_F(LayoutTest, TextLimitsCountUtf16Units) {
    const std::string kKana = "\xE3\x81\x82";            // U+3042, one unit
    const std::string kFace = "\xF0\x9F\x98\x80";        // U+1F600, two units
    std::string kana31, faces15;
    for (int i = 0; i < 31; i++) kana31 += kKana;
    for (int i = 0; i < 15; i++) faces15 += kFace;

    Bytes package = Build({"--confirm-caption", kana31, "--confirm-prompt", faces15 + "a"});
    ASSERT_GE(package.size(), 127972u);
    ExpectField(package, 126976 + 804, 32, std::u16string(31, u'\u3042'));
    std::u16string faces;
    for (int i = 0; i < 15; i++) faces += u"\U0001F600";
    ExpectField(package, 126976 + 868, 64, faces + u"a");

    std::string refused = Path("refused.exe");
    RunResult run = RunVuvpack({"build", "--stub", stub_, "--cab", cab_, "-o", refused, "--confirm-caption",
                                faces15 + kFace});
    EXPECT_EQ(2, run.status);
    EXPECT_NE(std::string::npos, run.err.find("--confirm-caption: 32 characters")) << run.err;
    EXPECT_FALSE(PathExists(refused));
}

// A signer pads the file to a multiple of 8 before its certificate table;
// a package that is one already keeps its CRC valid when signed. The zero
// bytes after the cabinet are covered by the CRC.
TEST_F(LayoutTest, EveryPackageIsAMultipleOf8LongWithItsZerosUnderTheCrc) {
    std::set<size_t> tails;
    for (size_t length = 1; length <= 24; length++) {
        SCOPED_TRACE("file of " + std::to_string(length) + " bytes");
        std::string text("abcdefghijklmnopqrstuvwxyz", length);
        cab_ = MakeCabinet("payload" + std::to_string(length) + ".cab", {{"a.txt", text}});
        Bytes cab = ReadFile(cab_);
        Bytes package = Build({"--crc"});
        ASSERT_EQ(0u, package.size() % 8);
        size_t cabinetEnd = 127972 + cab.size();
        ASSERT_EQ(cabinetEnd + (8 - cabinetEnd % 8) % 8, package.size());
        EXPECT_TRUE(std::equal(cab.begin(), cab.end(), package.begin() + 127972));
        EXPECT_EQ(Bytes(package.size() - cabinetEnd, 0), Bytes(package.begin() + cabinetEnd, package.end()));
        tails.insert(package.size() - cabinetEnd);
        RunResult inspect = RunVuvpack({"inspect", Path("out.exe")});
        EXPECT_NE(std::string::npos, inspect.out.find("crc: ok")) << inspect.out;
    }
    EXPECT_GT(tails.size(), 2u) << "the cabinets should need different padding";
}

TEST_F(LayoutTest, TextThatIsNotUtf8IsRefused) {
    LINUX_BUILD_ONLY("Windows passes arguments as UTF-16, always valid");
    RunResult run = RunVuvpack({"build", "--stub", stub_, "--cab", cab_, "-o", Path("out.exe"), "--command",
                                "setup\xFF.exe"});
    EXPECT_EQ(2, run.status);
    EXPECT_NE(std::string::npos, run.err.find("--command: not valid UTF-8")) << run.err;
    EXPECT_FALSE(PathExists(Path("out.exe")));
}

// A signature that straddles two of the module's 32 KiB search blocks may
// be missed, so the cabinet moves to the next block.
TEST_F(LayoutTest, CabinetNeverStraddlesASearchBlock) {
    const uint32_t kImageEnd = 4 * 32768 - 996 - 4;  // the signature would start 4 bytes before a block end
    WriteFile(stub_, MakePeEndingAt(kImageEnd));
    Bytes package = Build({"--crc"});
    Bytes cab = ReadFile(cab_);
    ASSERT_EQ((4u * 32768 + cab.size() + 7) / 8 * 8, package.size());
    EXPECT_EQ(Bytes(4, 0), Bytes(package.begin() + kImageEnd + 996, package.begin() + 4 * 32768));
    EXPECT_TRUE(std::equal(cab.begin(), cab.end(), package.begin() + 4 * 32768));

    RunResult inspect = RunVuvpack({"inspect", Path("out.exe")});
    EXPECT_EQ(0, inspect.status) << inspect.err;
    EXPECT_NE(std::string::npos, inspect.out.find("cabinet offset: 131072\n"));
    EXPECT_NE(std::string::npos, inspect.out.find("crc: ok"));
}

}  // namespace
