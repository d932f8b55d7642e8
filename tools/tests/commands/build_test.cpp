// build: the real stub, rebuilding from a package, and builds that fail.
#include <sys/stat.h>

#include <filesystem>

#include "base/image_end.h"
#include "support/pe_fixture.h"
#include "support/tool_test.h"

namespace {

class BuildTest : public ToolTest {
public:
    void SetUp() override {
        ToolTest::SetUp();
        cab_ = MakeCabinet("payload.cab", {{"setup.exe", "program"}, {"data.bin", std::string(2000, 'd')}});
    }

    RunResult Build(const std::string& stub, const std::string& output, const std::vector<std::string>& options) {
        std::vector<std::string> args = {"build", "--stub", stub, "-o", output};
        args.insert(args.end(), options.begin(), options.end());
        return RunVuvpack(args);
    }

    std::string cab_;
};

TEST_F(BuildTest, PackageFromTheModuleHasItsHeaderAtTheImageEnd) {
    Bytes stub = ReadFile(kStubPath);
    uint32_t imageEnd = ImageEndFromBytes(stub.data(), stub.size());
    ASSERT_NE(0u, imageEnd);
    ASSERT_LE(imageEnd, stub.size());

    RunResult run = Build(kStubPath, Path("out.exe"), {"--cab", cab_, "--command", "setup.exe", "--crc"});
    ASSERT_EQ(0, run.status) << run.err;
    Bytes package = ReadFile(Path("out.exe"));
    EXPECT_TRUE(std::equal(stub.begin(), stub.begin() + imageEnd, package.begin()));
    EXPECT_EQ(0, memcmp(&package[imageEnd], "KELPIX3U", 8));
    Bytes cab = ReadFile(cab_);
    ASSERT_EQ((imageEnd + 996 + cab.size() + 7) / 8 * 8, package.size()) << "zero bytes up to a multiple of 8";
    EXPECT_TRUE(std::equal(cab.begin(), cab.end(), package.begin() + imageEnd + 996));

    RunResult inspect = RunVuvpack({"inspect", Path("out.exe")});
    EXPECT_EQ(0, inspect.status) << inspect.err;
    EXPECT_NE(std::string::npos, inspect.out.find("cabinet offset: " + std::to_string(imageEnd + 996) + "\n"));
    EXPECT_NE(std::string::npos, inspect.out.find("crc: ok"));
}

// A package as the stub: same image, new header and cabinet; the result is
// what a build from the bare stub gives.
TEST_F(BuildTest, RebuildingFromAPackageReplacesItsPayload) {
    std::filesystem::create_directories(Path("first"));
    WriteFile(Path("first/old.txt"), std::string(5000, 'o'));
    ASSERT_EQ(0, Build(kStubPath, Path("first.exe"), {"--dir", Path("first"), "--destination", std::string(259, 'x'),
                                                      "--command", "old.txt", "--crc"})
                     .status);
    RunResult rebuilt = Build(Path("first.exe"), Path("second.exe"), {"--cab", cab_, "--destination", "short"});
    ASSERT_EQ(0, rebuilt.status) << rebuilt.err;
    EXPECT_EQ("", rebuilt.err) << "a package's own payload is replaced without a warning";
    ASSERT_EQ(0, Build(kStubPath, Path("fresh.exe"), {"--cab", cab_, "--destination", "short"}).status);
    EXPECT_TRUE(ReadFile(Path("second.exe")) == ReadFile(Path("fresh.exe")));

    RunResult listed = RunProgram("cabextract", {"-l", Path("second.exe")});
    EXPECT_EQ(std::string::npos, listed.out.find("old.txt")) << listed.out;
    EXPECT_NE(std::string::npos, listed.out.find("setup.exe")) << listed.out;
}

TEST_F(BuildTest, OtherBytesAfterTheImageAreLeftOutWithAWarning) {
    Bytes stub = MakePeEndingAt(16384);
    Bytes withTail = stub;
    withTail.insert(withTail.end(), 3000, 0x5A);
    WriteFile(Path("tail.exe"), withTail);
    RunResult run = Build(Path("tail.exe"), Path("out.exe"), {"--cab", cab_});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos,
              run.err.find("warning: " + Path("tail.exe") + ": the 3000 bytes after its image are not a package"))
        << run.err;
    EXPECT_EQ((16384 + 996 + ReadFile(cab_).size() + 7) / 8 * 8, ReadFile(Path("out.exe")).size());
}

struct FailureCase {
    const char* what;
    std::vector<std::string> args;  // after "build"
    int status;
    std::string message;  // the start of stderr, after "vuvpack: "
};

TEST_F(BuildTest, FailedBuildsSayWhyAndLeaveNoOutput) {
    WriteFile(Path("notes.txt"), std::string(3000, 'n'));
    Bytes bare = MakePeImage({{0x400, 0x1000, kCodeSection}, {0x1400, 0x1000, kBareSection},
                              {0x2400, 0x1000, kBareSection}}, 0x3400);
    WriteFile(Path("bare.exe"), bare);
    Bytes truncated = MakePeEndingAt(16384);
    truncated.resize(12000);
    WriteFile(Path("truncated.exe"), truncated);
    Bytes marked = MakePeEndingAt(16384);
    std::copy_n("MSCF\0\0\0", 8, marked.begin() + 9000);
    WriteFile(Path("marked.exe"), marked);
    WriteFile(Path("stub.exe"), MakePeEndingAt(16384));
    Bytes broken(200, 0xEE);
    std::copy_n("MSCF\0\0\0", 8, broken.begin());
    WriteFile(Path("broken.cab"), broken);
    const std::string stub = Path("stub.exe"), out = Path("out.exe");

    const FailureCase cases[] = {
        {"stub missing", {"--stub", Path("absent.exe"), "--cab", cab_, "-o", out}, 1,
         Path("absent.exe") + ": No such file or directory"},
        {"stub not PE", {"--stub", Path("notes.txt"), "--cab", cab_, "-o", out}, 1,
         Path("notes.txt") + ": not a PE image"},
        {"stub a folder", {"--stub", Dir(), "--cab", cab_, "-o", out}, 1, Dir() + ": not a regular file"},
        {"image end not found", {"--stub", Path("bare.exe"), "--cab", cab_, "-o", out}, 1,
         Path("bare.exe") + ": the end of its image can't be found"},
        {"stub truncated", {"--stub", Path("truncated.exe"), "--cab", cab_, "-o", out}, 1,
         Path("truncated.exe") + ": truncated: its image ends at 16384 but the file has 12000 bytes"},
        {"signature in the image", {"--stub", Path("marked.exe"), "--cab", cab_, "-o", out}, 1,
         Path("marked.exe") + ": its image holds the cabinet signature at offset 9000"},
        {"signature in the header",
         {"--stub", stub, "--cab", cab_, "-o", out, "--confirm-prompt", "\xE5\x8D\x8D\xE4\x99\x83"}, 1,
         "the header texts form the cabinet signature at offset 17252"},
        {"cabinet missing", {"--stub", stub, "--cab", Path("absent.cab"), "-o", out}, 1,
         Path("absent.cab") + ": No such file or directory"},
        {"cabinet not a cabinet", {"--stub", stub, "--cab", Path("notes.txt"), "-o", out}, 1,
         Path("notes.txt") + ": not a cabinet (it doesn't start with the MSCF signature)"},
        {"cabinet unreadable", {"--stub", stub, "--cab", Path("broken.cab"), "-o", out}, 1,
         Path("broken.cab") + ": not a readable cabinet"},
        {"output over the stub", {"--stub", stub, "--cab", cab_, "-o", stub}, 1,
         stub + ": is an input of this build"},
        {"output over the cabinet", {"--stub", stub, "--cab", cab_, "-o", cab_}, 1, cab_ + ": is an input of this build"},
        {"output folder missing", {"--stub", stub, "--cab", cab_, "-o", Path("absent/out.exe")}, 1,
         Path("absent/out.exe") + ": can't be written"},
        {"no output", {"--stub", stub, "--cab", cab_}, 2, "-o is missing"},
        {"no payload", {"--stub", stub, "-o", out}, 2, "give one of --cab and --dir"},
        {"two payloads", {"--stub", stub, "--cab", cab_, "--dir", Dir(), "-o", out}, 2, "give one of --cab and --dir"},
        {"unknown option", {"--stub", stub, "--cab", cab_, "-o", out, "--sign"}, 2, "unknown option --sign"},
        {"value missing", {"--stub", stub, "--cab", cab_, "-o", out, "--command"}, 2, "--command needs a value"},
        {"option twice", {"--stub", stub, "--cab", cab_, "-o", out, "--command", "a", "--command", "b"}, 2,
         "--command given twice"},
    };
    for (const FailureCase& row : cases) {
        SCOPED_TRACE(row.what);
        std::vector<std::string> args = {"build"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        std::vector<std::string> before = ListFolder(Dir());
        Bytes stubBefore = ReadFile(stub), cabBefore = ReadFile(cab_);
        RunResult run = RunVuvpack(args);
        EXPECT_EQ(row.status, run.status);
        EXPECT_EQ(0u, run.err.find("vuvpack: " + row.message)) << run.err;
        EXPECT_EQ(1u, (size_t)std::count(run.err.begin(), run.err.end(), '\n')) << "one line: " << run.err;
        EXPECT_EQ(before, ListFolder(Dir())) << "nothing written, no temporary file left";
        EXPECT_TRUE(stubBefore == ReadFile(stub) && cabBefore == ReadFile(cab_)) << "inputs unchanged";
    }
}

}  // namespace
