// build --compress and --quiet, inspect's folders, the progress line.
#include <filesystem>

#include "support/cabinet_decoders.h"
#include "support/pe_fixture.h"
#include "support/test_data.h"
#include "support/tool_test.h"
#include "vuvpack/commands/progress_line.h"

namespace {

class CompressTest : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        WriteFile(Path("stub.exe"), MakePeEndingAt(16384));
        std::filesystem::create_directories(Path("src/sub"));
        TestRandom random(30);
        files_ = {{"calls.bin", CallBytes(&random, 90000)},
                  {"sub\\text.txt", TextBytes(&random, 70001)},
                  {"sub\\noise.bin", RandomBytes(&random, 40000)}};
        for (const MemoryFile& file : files_) {
            std::string name = file.name;
            std::replace(name.begin(), name.end(), '\\', '/');
            WriteFile(Path("src/" + name), file.bytes);
        }
    }

    std::vector<std::string> BuildArgs(const std::vector<std::string>& options) {
        std::vector<std::string> args = {"build", "--stub", Path("stub.exe"), "--dir", Path("src"), "-o",
                                         Path("out.exe")};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    }

    // The cabinet of the package, as a file of its own for 7zz and bsdtar.
    std::string CabinetFile() {
        Bytes package = ReadFile(Path("out.exe"));
        const size_t kCabinet = 16384 + 996;
        Bytes cabinet(package.begin() + kCabinet, package.begin() + kCabinet + U32At(package, kCabinet + 8));
        WriteFile(Path("out.cab"), cabinet);
        return Path("out.cab");
    }

    std::vector<MemoryFile> files_;
};

TEST_F(CompressTest, EachMethodIsWrittenShownByInspectAndReadByEveryDecoder) {
    const struct {
        std::vector<std::string> options;
        const char* folderLine;
    } cases[] = {
        {{}, "cabinet folder 0: LZX, window 2^21 bytes, 7 data blocks\n"},
        {{"--compress", "mszip"}, "cabinet folder 0: MSZIP, 7 data blocks\n"},
        {{"--compress", "none"}, "cabinet folder 0: none, 7 data blocks\n"},
        {{"--compress", "lzx"}, "cabinet folder 0: LZX, window 2^21 bytes, 7 data blocks\n"},
        {{"--compress", "lzx:15"}, "cabinet folder 0: LZX, window 2^15 bytes, 7 data blocks\n"},
        {{"--compress", "lzx:21", "--quiet"}, "cabinet folder 0: LZX, window 2^21 bytes, 7 data blocks\n"},
        {{"--level", "fast"}, "cabinet folder 0: LZX, window 2^21 bytes, 7 data blocks\n"},
        {{"--compress", "lzx:16", "--level", "best"}, "cabinet folder 0: LZX, window 2^16 bytes, 7 data blocks\n"},
        {{"--compress", "lzx", "--level", "default"}, "cabinet folder 0: LZX, window 2^21 bytes, 7 data blocks\n"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.folderLine);
        RunResult built = RunVuvpack(BuildArgs(row.options));
        ASSERT_EQ(0, built.status) << built.err;
        EXPECT_EQ("", built.err) << "no progress line when stderr is no terminal";
        RunResult inspect = RunVuvpack({"inspect", Path("out.exe")});
        EXPECT_EQ(0, inspect.status) << inspect.err;
        EXPECT_NE(std::string::npos, inspect.out.find(row.folderLine)) << inspect.out;
        ExpectEveryDecoderExtracts(CabinetFile(), Path("extracted"), files_);
    }
    RunResult json = RunVuvpack({"inspect", "--json", Path("out.exe")});
    EXPECT_NE(std::string::npos,
              json.out.find("\"folderList\": [{\"method\": \"LZX\", \"windowBits\": 21, \"dataBlocks\": 7}]"))
        << json.out;
}

TEST_F(CompressTest, EachLzxLevelIsSmallerThanTheOneBeforeOnProgramCode) {
    std::filesystem::remove_all(Path("src"));
    std::filesystem::create_directories(Path("src"));
    // The module alone is too small for LZX's trees to pay at the fast
    // level; with vuvpack's own code there is enough to show the levels.
    WriteFile(Path("src/module.exe"), ReadFile(VUV_STUB_PATH));
    WriteFile(Path("src/vuvpack"), ReadFile(VUVPACK_PATH));
    ASSERT_EQ(0, RunVuvpack(BuildArgs({"--compress", "mszip"})).status);
    size_t mszip = ReadFile(Path("out.exe")).size();
    size_t smaller = mszip;
    for (const char* level : {"fast", "default", "best"}) {
        SCOPED_TRACE(level);
        ASSERT_EQ(0, RunVuvpack(BuildArgs({"--compress", "lzx", "--level", level})).status);
        size_t lzx = ReadFile(Path("out.exe")).size();
        EXPECT_LT(lzx, smaller) << "each level smaller than the one before";
        smaller = lzx;
    }
}

// The MSZIP data blocks are byte for byte those that gcab (libgcab and
// zlib) writes for the same files in the same order, as vuvpack's were
// when it wrote through libgcab.
TEST_F(CompressTest, MszipDataBlocksAreThoseOfGcab) {
    std::filesystem::remove_all(Path("src"));
    std::filesystem::create_directories(Path("src"));
    TestRandom random(31);
    WriteFile(Path("src/a.bin"), CallBytes(&random, 100000));
    WriteFile(Path("src/b.txt"), TextBytes(&random, 50000));
    RunResult made = RunProgram("gcab", {"-c", "-z", Path("gcab.cab"), "a.bin", "b.txt"}, Path("src"));
    ASSERT_EQ(0, made.status) << made.err;
    ASSERT_EQ(0, RunVuvpack(BuildArgs({"--compress", "mszip"})).status);
    Bytes ours = ReadFile(CabinetFile()), theirs = ReadFile(Path("gcab.cab"));
    Bytes ourBlocks(ours.begin() + U32At(ours, 36), ours.end());
    Bytes theirBlocks(theirs.begin() + U32At(theirs, 36), theirs.end());
    EXPECT_EQ(5u, U16At(ours, 40)) << "data blocks";
    EXPECT_TRUE(ourBlocks == theirBlocks);
}

// Same folder, same bytes: nothing of the run (time, addresses) gets in.
TEST_F(CompressTest, TheSameFolderGivesTheSamePackage) {
    const std::vector<std::string> cases[] = {{"--compress", "lzx"},
                                              {"--compress", "lzx:15"},
                                              {"--level", "fast"},
                                              {"--compress", "lzx:17", "--level", "best"},
                                              {"--compress", "mszip"}};
    for (const std::vector<std::string>& options : cases) {
        SCOPED_TRACE(options[1]);
        ASSERT_EQ(0, RunVuvpack(BuildArgs(options)).status);
        Bytes first = ReadFile(Path("out.exe"));
        ASSERT_EQ(0, RunVuvpack(BuildArgs(options)).status);
        EXPECT_TRUE(first == ReadFile(Path("out.exe")));
    }
}

TEST_F(CompressTest, BadMethodsAreUsageErrors) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {BuildArgs({"--compress", "zip"}), "--compress takes none, mszip, lzx or lzx:15 to lzx:21"},
        {BuildArgs({"--compress", "lzx:14"}), "--compress takes none, mszip, lzx or lzx:15 to lzx:21"},
        {BuildArgs({"--compress", "lzx:22"}), "--compress takes none, mszip, lzx or lzx:15 to lzx:21"},
        {BuildArgs({"--compress", "lzx:2"}), "--compress takes none, mszip, lzx or lzx:15 to lzx:21"},
        {BuildArgs({"--compress", "lzx", "--compress", "none"}), "--compress given twice"},
        {{"build", "--stub", Path("stub.exe"), "--cab", Path("any.cab"), "-o", Path("out.exe"), "--compress", "lzx"},
         "--compress goes with --dir"},
        {BuildArgs({"--level", "max"}), "--level takes fast, default or best"},
        {BuildArgs({"--level", "best", "--level", "fast"}), "--level given twice"},
        {{"build", "--stub", Path("stub.exe"), "--cab", Path("any.cab"), "-o", Path("out.exe"), "--level", "best"},
         "--level goes with --dir"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.message);
        RunResult built = RunVuvpack(row.args);
        EXPECT_EQ(2, built.status);
        EXPECT_NE(std::string::npos, built.err.find(row.message)) << built.err;
        EXPECT_FALSE(PathExists(Path("out.exe")));
    }
}

// On a terminal (script(1) gives vuvpack one) the line is written and
// rewritten on stderr, and blanked at the end; --quiet leaves it out.
TEST_F(CompressTest, ProgressLineOnlyOnATerminalAndNotWithQuiet) {
    LINUX_BUILD_ONLY("the terminal comes from script(1), and Wine shows a Linux terminal to a program as no console");
    for (bool quiet : {false, true}) {
        SCOPED_TRACE(quiet ? "--quiet" : "terminal");
        std::string command = std::string(VUVPACK_PATH);
        for (const std::string& arg : BuildArgs({"--compress", "lzx"})) command += " '" + arg + "'";
        if (quiet) command += " --quiet";
        RunResult run = RunProgram("script", {"-qec", command, "/dev/null"});
        ASSERT_EQ(0, run.status) << run.out << run.err;
        bool shown = run.out.find("\rvuvpack: 3/3 files, ") != std::string::npos ||
                     run.out.find("\rvuvpack: 1/3 files, ") != std::string::npos;
        EXPECT_EQ(!quiet, shown) << run.out;
        if (!quiet) EXPECT_NE(std::string::npos, run.out.find(" compressed")) << run.out;
    }
}

TEST(ProgressText, FilesBytesSpeedAndTimeLeft) {
    EXPECT_EQ("vuvpack: 0/12 files, 0.0 MiB of 100.0 MiB compressed", ProgressText(0, 100 << 20, 0, 12, 0));
    EXPECT_EQ("vuvpack: 3/12 files, 25.0 MiB of 100.0 MiB compressed, 12.5 MiB/s, 0:06 left",
              ProgressText(25 << 20, 100 << 20, 3, 12, 2000));
    EXPECT_EQ("vuvpack: 1/1 files, 1.0 MiB of 4096.0 MiB compressed, 0.1 MiB/s, 11:22:30 left",
              ProgressText(1 << 20, 4096ull << 20, 1, 1, 10000));
}

}  // namespace
