// build without --stub: the stub found relative to the vuvpack program,
// the one-line error when there is none, --arch, and --version.
#include <string.h>

#include <algorithm>
#include <filesystem>

#include "base/image_end.h"
#include "support/pe_fixture.h"
#include "support/tool_test.h"
#include "vuvpack/commands/stub_lookup.h"
#include "vuvpack/package/stub_version.h"

namespace {

namespace fs = std::filesystem;

// A copy of vuvpack in <prefix>/bin, with stubs placed around it.
class StubLookupTest : public ToolTest {
public:
    void SetUp() override {
        ToolTest::SetUp();
        cab_ = MakeCabinet("payload.cab", {{"setup.exe", "program"}});
        WriteFile(Path("small.exe"), MakePeEndingAt(16384));
        WriteFile(Path("large.exe"), MakePeEndingAt(20480));
    }

    // A fresh prefix with vuvpack in its bin folder; returns the prefix.
    std::string MakePrefix(const std::string& name) {
        std::string prefix = Path(name);
        fs::create_directories(prefix + "/bin");
        fs::copy_file(VuvpackProgramFile(), Program(prefix));
        return prefix;
    }

    // vuvpack or vuvpack.exe, whichever build is tested.
    static std::string Program(const std::string& prefix) {
        return prefix + "/bin/" + fs::path(VuvpackProgramFile()).filename().string();
    }

    static void Place(const std::string& from, const std::string& to) {
        fs::create_directories(fs::path(to).parent_path());
        fs::copy_file(from, to);
    }

    std::string cab_;
};

struct PlacementCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> placed;  // fixture, place under the prefix
    std::vector<std::string> options;                         // besides --cab and -o
    std::string expected;                                     // the fixture whose image the package has
};

TEST_F(StubLookupTest, BuildTakesTheFirstStubFoundFromTheProgramsOwnFolder) {
    const PlacementCase cases[] = {
        {"installed", {{"small.exe", "share/vuvuzu/vuvuzu.exe"}}, {}, "small.exe"},
        {"beside the program", {{"small.exe", "bin/vuvuzu.exe"}}, {}, "small.exe"},
        {"above the program (a build tree)", {{"small.exe", "vuvuzu.exe"}}, {}, "small.exe"},
        {"installed before beside",
         {{"large.exe", "bin/vuvuzu.exe"}, {"small.exe", "share/vuvuzu/vuvuzu.exe"}}, {}, "small.exe"},
        {"beside before above", {{"large.exe", "vuvuzu.exe"}, {"small.exe", "bin/vuvuzu.exe"}}, {}, "small.exe"},
        {"--arch x86 is the default",
         {{"small.exe", "share/vuvuzu/vuvuzu.exe"}, {"large.exe", "share/vuvuzu/vuvuzu64.exe"}}, {"--arch", "x86"},
         "small.exe"},
        {"--arch x64",
         {{"small.exe", "share/vuvuzu/vuvuzu.exe"}, {"large.exe", "share/vuvuzu/vuvuzu64.exe"}}, {"--arch", "x64"},
         "large.exe"},
        {"--stub wins", {{"small.exe", "share/vuvuzu/vuvuzu.exe"}}, {"--stub", Path("large.exe"), "--arch", "x86"},
         "large.exe"},
    };
    int index = 0;
    for (const PlacementCase& row : cases) {
        SCOPED_TRACE(row.what);
        std::string prefix = MakePrefix("prefix" + std::to_string(index++));
        for (const auto& placed : row.placed) Place(Path(placed.first), prefix + "/" + placed.second);
        std::vector<std::string> args = {"build", "--cab", cab_, "-o", prefix + "/out.exe"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        RunResult run = RunVuvpackCopy(Program(prefix), args);
        ASSERT_EQ(0, run.status) << run.err;
        Bytes expected = ReadFile(Path(row.expected)), package = ReadFile(prefix + "/out.exe");
        ASSERT_GT(package.size(), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), package.begin()));
        EXPECT_EQ(0, memcmp(&package[expected.size()], "KELPIX3U", 8));
    }
}

TEST_F(StubLookupTest, WithoutAStubTheBuildFailsOnOneLineNamingEveryPlaceAndWritesNothing) {
    // The other architecture's stub is installed: it is not taken instead.
    const struct {
        const char* arch;
        const char* file;
        const char* other;
    } cases[] = {{"x86", "vuvuzu.exe", "vuvuzu64.exe"}, {"x64", "vuvuzu64.exe", "vuvuzu.exe"}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.arch);
        std::string prefix = MakePrefix(std::string("prefix-") + row.arch);
        Place(Path("small.exe"), prefix + "/share/vuvuzu/" + row.other);
        std::vector<std::string> before = ListFolder(prefix);
        RunResult run = RunVuvpackCopy(Program(prefix), {"build", "--dir", Path("payload.cab.files"), "-o",
                                                         prefix + "/out.exe", "--arch", row.arch});
        EXPECT_EQ(1, run.status);
        std::string file = row.file;
        EXPECT_EQ("vuvpack: no " + std::string(row.arch) + " stub: looked for " + prefix + "/share/vuvuzu/" + file +
                      ", " + prefix + "/bin/" + file + " and " + prefix + "/" + file + "; name one with --stub\n",
                  run.err);
        EXPECT_EQ(before, ListFolder(prefix)) << "no package, no temporary file";
    }
}

TEST_F(StubLookupTest, AnUnknownArchIsAUsageError) {
    RunResult run = RunVuvpack({"build", "--cab", cab_, "-o", Path("out.exe"), "--arch", "arm64"});
    EXPECT_EQ(2, run.status);
    EXPECT_EQ("vuvpack: --arch takes x86 or x64 (see vuvpack build --help)\n", run.err);
    EXPECT_FALSE(PathExists(Path("out.exe")));
}

// The build tree's vuvpack (host/ below the tree) takes the tree's stub.
TEST_F(StubLookupTest, InTheBuildTreeTheTreesOwnStubIsTaken) {
    std::string arch = fs::path(kStubPath).filename() == "vuvuzu64.exe" ? "x64" : "x86";
    RunResult run = RunVuvpack({"build", "--cab", cab_, "-o", Path("out.exe"), "--arch", arch});
    ASSERT_EQ(0, run.status) << run.err;
    Bytes stub = ReadFile(kStubPath), package = ReadFile(Path("out.exe"));
    uint32_t imageEnd = ImageEndFromBytes(stub.data(), stub.size());
    ASSERT_NE(0u, imageEnd);
    ASSERT_GT(package.size(), imageEnd);
    EXPECT_TRUE(std::equal(stub.begin(), stub.begin() + imageEnd, package.begin()));
}

TEST_F(StubLookupTest, VersionShowsVuvpacksVersionAndEachStubsOrWhereItLooked) {
    std::string prefix = MakePrefix("prefix");
    Place(kStubPath, prefix + "/share/vuvuzu/vuvuzu.exe");
    RunResult run = RunVuvpackCopy(Program(prefix), {"--version"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(std::string("vuvpack ") + VUV_VERSION + "\nx86 stub: " + prefix + "/share/vuvuzu/vuvuzu.exe, version " +
                  VUV_VERSION + "\nno x64 stub: looked for " + prefix + "/share/vuvuzu/vuvuzu64.exe, " + prefix +
                  "/bin/vuvuzu64.exe and " + prefix + "/vuvuzu64.exe; name one with --stub\n",
              run.out);

    Place(Path("small.exe"), prefix + "/share/vuvuzu/vuvuzu64.exe");
    run = RunVuvpackCopy(Program(prefix), {"--version"});
    EXPECT_EQ(0, run.status);
    EXPECT_NE(std::string::npos,
              run.out.find("\nx64 stub: " + prefix + "/share/vuvuzu/vuvuzu64.exe: no version resource\n"))
        << run.out;
}

// Where vuvpack can't read /proc/self/exe, it has no folder of its own to
// look in: a stub planted in the current folder (or around it) is not taken.
TEST_F(StubLookupTest, WithoutItsOwnPathNoStubIsTakenFromTheCurrentFolder) {
    std::string prefix = MakePrefix("planted");
    for (const char* place : {"bin/vuvuzu.exe", "vuvuzu.exe", "share/vuvuzu/vuvuzu.exe"})
        Place(Path("small.exe"), prefix + "/" + place);
    fs::path before = fs::current_path();
    fs::current_path(prefix + "/bin");
    for (const std::string program : {std::string(), std::string("vuvpack"), std::string("bin/vuvpack")}) {
        SCOPED_TRACE(program);
        EXPECT_TRUE(StubCandidates(kStubArches[0], program).empty());
        std::string path = "unchanged", problem;
        EXPECT_FALSE(FindStub(kStubArches[0], &path, &problem, program));
        EXPECT_EQ("unchanged", path);
        EXPECT_EQ("no x86 stub: vuvpack can't tell where its own program is (/proc/self/exe can't be read), so it "
                  "looks nowhere; name one with --stub",
                  problem);
    }
    // From its own path, the planted stubs around it are found as usual.
    std::string path, problem;
    EXPECT_TRUE(FindStub(kStubArches[0], &path, &problem, prefix + "/bin/vuvpack"));
    EXPECT_EQ(prefix + "/share/vuvuzu/vuvuzu.exe", path);
    fs::current_path(before);
}

// The whole program where /proc is not mounted (a private mount namespace
// without it, as root), started from a folder that holds a planted stub.
TEST_F(StubLookupTest, WithoutProcTheBuildFailsAndWritesNothing) {
    std::string planted = Path("planted");
    fs::create_directories(planted);
    Place(Path("small.exe"), planted + "/vuvuzu.exe");
    RunResult run = RunProgram("unshare", {"--mount", "--propagation", "private", "sh", "-c",
                                           "umount -l /proc && exec \"$0\" \"$@\"", VUVPACK_PATH, "build", "--cab",
                                           cab_, "-o", planted + "/out.exe"},
                               planted);
    EXPECT_EQ(1, run.status) << run.err;
    EXPECT_EQ("vuvpack: no x86 stub: vuvpack can't tell where its own program is (/proc/self/exe can't be read), so "
              "it looks nowhere; name one with --stub\n",
              run.err);
    EXPECT_EQ((std::vector<std::string>{"vuvuzu.exe"}), ListFolder(planted));
}

TEST(StubVersionTest, FileVersionsShowBuildAndRevisionOnlyWhenSet) {
    const struct {
        uint32_t ms, ls;
        const char* text;
    } cases[] = {
        {0x00010014, 0x00000000, "1.20"},
        {0x00010014, 0x00030000, "1.20.3"},
        {0x00010014, 0x00000004, "1.20.0.4"},
        {0x00020000, 0x00030004, "2.0.3.4"},
        {0xFFFFFFFF, 0xFFFFFFFF, "65535.65535.65535.65535"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.text, FormatFileVersion(row.ms, row.ls));
    }
}

}  // namespace
