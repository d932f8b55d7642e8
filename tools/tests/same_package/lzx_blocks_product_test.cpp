// Packages whose LZX blocks end where the data changes (and the fast
// level's fixed blocks) through the 32-bit product: every byte comes out.
#include <filesystem>

#include "support/test_data.h"
#include "support/tool_test.h"

namespace {

namespace fs = std::filesystem;

std::string WindowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

class LzxBlocksProduct : public ToolTest {};

TEST_F(LzxBlocksProduct, The32BitProductExtractsThePackageOfEveryLevel) {
    if (TestingWindowsBuild()) GTEST_SKIP() << "this test runs the product itself";
    if (fs::path(VUV_STUB_PATH).filename() != "vuvuzu.exe") GTEST_SKIP() << "the 32-bit tree runs it";
    TestRandom random(52);
    const Bytes data = TextNoiseTextBytes(&random);
    fs::create_directories(Path("payload"));
    WriteFile(Path("payload/mixed.bin"), data);
    for (const char* level : {"fast", "default", "best"}) {
        SCOPED_TRACE(level);
        std::string extracted = Path(std::string("extracted-") + level);
        std::string package = Path(std::string(level) + ".exe");
        RunResult built = RunProgram(VUVPACK_PATH, {"build", "--stub", VUV_STUB_PATH, "--dir", Path("payload"), "-o",
                                                    package, "--level", level, "--destination", WindowsPath(extracted),
                                                    "--no-dialog", "--overwrite-all", "--no-open-folder"});
        ASSERT_EQ(0, built.status) << built.err;
        RunResult run = RunProgram("timeout", {"600", VUV_WINE_RUN_PATH, package});
        EXPECT_NE(124, run.status) << "still running after 600 s";
        EXPECT_TRUE(ReadFile(extracted + "/mixed.bin") == data) << "mixed.bin differs: " << run.err;
    }
}

}  // namespace
