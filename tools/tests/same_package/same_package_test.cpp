// The same folder packed by vuvpack and by vuvpack.exe (under Wine) gives
// the same package, byte for byte, in a zone with daylight saving; the
// package of vuvpack.exe runs on the 32-bit product and extracts the
// folder's bytes, times and attributes.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "base/image_end.h"
#include "support/cab_entries.h"
#include "support/tool_test.h"

namespace {

namespace fs = std::filesystem;

// A zone whose offset changes: summer and winter dates give different
// offsets, which a machine in UTC would hide. vuvpack takes TZ; Wine sets
// its own zone from the Linux one of the process that starts it (the same
// TZ), matched to the Windows zone with the same rules.
const char kZone[] = "Europe/Berlin";

struct PayloadFile {
    std::string name;  // below the payload folder
    std::string text;
    time_t modified;
    bool readOnly;
    std::string stamp;  // the stored DOS time: Berlin's local time of that date
    uint16_t attributes;
};

// The Windows path of a Linux path, through Wine's drive Z:.
std::string WindowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

// Wine keeps the attributes that Linux has no bit for in this attribute
// of the file (hidden, system, archive); absent for a plain file.
std::string DosAttributes(const std::string& path) {
    char value[64];
    ssize_t length = getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value);
    return length > 0 ? std::string(value, (size_t)length) : std::string();
}

// The module turns a stored local time into the file's time with the
// system's LocalFileTimeToFileTime, which applies the offset in effect now
// (as the system's own cabinet extraction does), not that of the date: in
// winter a summer date comes back an hour later.
time_t ExtractedTime(time_t modified) {
    struct tm stored, now;
    localtime_r(&modified, &stored);
    time_t today = time(nullptr);
    localtime_r(&today, &now);
    return timegm(&stored) - now.tm_gmtoff;
}

class SamePackageTest : public ToolTest {
public:
    void SetUp() override {
        ToolTest::SetUp();
        ASSERT_TRUE(std::string(VUVPACK_EXE_PATH).empty() || fs::exists(VUVPACK_EXE_PATH))
            << VUVPACK_EXE_PATH << " is missing: the 64-bit tree builds it (configure_and_build 64)";
        setenv("TZ", kZone, 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
};

TEST_F(SamePackageTest, BothBuildsMakeOnePackageThatThe32BitProductExtracts) {
    if (TestingWindowsBuild()) GTEST_SKIP() << "this test runs both builds itself";
    if (std::string(VUVPACK_EXE_PATH).empty() || fs::path(VUV_STUB_PATH).filename() != "vuvuzu.exe") {
        GTEST_SKIP() << "the 32-bit tree runs it: its Wine runs the 32-bit product and, in its 64-bit prefix, "
                        "the 64-bit tree's vuvpack.exe";
    }
    const std::string kUnicode = "d\xC3\xA9j\xC3\xA0 vu/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xC3\x9C.txt";
    const std::vector<PayloadFile> files = {
        {".hidden", "hidden by its dot", LocalTime(2001, 2, 3, 4, 5, 6), false, "2001-02-03 04:05:06", 0x22},
        {"docs/deep/nested/guide.txt", std::string(70000, 'g') + "end", LocalTime(2012, 10, 27, 23, 30, 0), false,
         "2012-10-27 23:30:00", 0x20},
        {kUnicode, "non-ASCII names", LocalTime(1999, 1, 10, 8, 30, 0), false, "1999-01-10 08:30:00", 0xA0},
        {"locked.txt", "read-only", LocalTime(2003, 7, 15, 12, 0, 0), true, "2003-07-15 12:00:00", 0x21},
        {"readme.txt", "summer time", LocalTime(1998, 8, 1, 0, 30, 2), false, "1998-08-01 00:30:02", 0x20},
    };
    std::string payload = Path("payload");
    for (const PayloadFile& file : files) {
        std::string path = payload + "/" + file.name;
        fs::create_directories(fs::path(path).parent_path());
        WriteFile(path, file.text);
        struct timespec times[2] = {{file.modified, 0}, {file.modified, 0}};
        ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0)) << path;
        if (file.readOnly) chmod(path.c_str(), 0444);
    }

    std::string extracted = Path("extracted");
    std::vector<std::string> options = {"--stub", VUV_STUB_PATH, "--dir", payload, "--compress", "lzx",
                                        "--destination", WindowsPath(extracted), "--no-dialog", "--overwrite-all",
                                        "--no-open-folder"};
    std::vector<std::string> linuxArgs = {"build", "-o", Path("linux.exe")}, windowsArgs = {"build", "-o",
                                                                                            Path("windows.exe")};
    linuxArgs.insert(linuxArgs.end(), options.begin(), options.end());
    windowsArgs.insert(windowsArgs.end(), options.begin(), options.end());
    RunResult linuxRun = RunProgram(VUVPACK_PATH, linuxArgs);
    ASSERT_EQ(0, linuxRun.status) << linuxRun.err;
    RunResult windows = RunWindowsVuvpack(windowsArgs);
    ASSERT_EQ(0, windows.status) << windows.err;
    EXPECT_EQ(linuxRun.err, windows.err);

    // The stored entries as the rules give them, then the whole packages.
    Bytes linuxPackage = ReadFile(Path("linux.exe")), windowsPackage = ReadFile(Path("windows.exe"));
    const uint8_t kSignature[8] = {'M', 'S', 'C', 'F', 0, 0, 0, 0};
    uint32_t imageEnd = ImageEndFromBytes(windowsPackage.data(), windowsPackage.size());
    ASSERT_NE(0u, imageEnd);
    size_t cabinet = std::search(windowsPackage.begin() + imageEnd, windowsPackage.end(), kSignature,
                                 kSignature + sizeof kSignature) - windowsPackage.begin();
    std::vector<CabEntry> entries = ReadCabEntries(windowsPackage, cabinet);
    ASSERT_EQ(files.size(), entries.size());
    for (size_t i = 0; i < files.size(); i++) {
        std::string stored = files[i].name;
        std::replace(stored.begin(), stored.end(), '/', '\\');
        EXPECT_EQ(stored, entries[i].name) << "sorted by the UTF-8 bytes of the stored names";
        EXPECT_EQ(files[i].stamp, DosStampText(entries[i].date, entries[i].time)) << stored;
        EXPECT_EQ(files[i].attributes, entries[i].attributes) << stored;
    }
    EXPECT_TRUE(linuxPackage == windowsPackage) << "the two builds' packages differ";

    // The 32-bit product extracts the package of vuvpack.exe.
    RunResult run = RunProgram("timeout", {"600", VUV_WINE_RUN_PATH, Path("windows.exe")});
    EXPECT_NE(124, run.status) << "still running after 600 s";
    ASSERT_TRUE(fs::is_directory(extracted)) << "nothing extracted: " << run.err;
    for (const PayloadFile& file : files) {
        SCOPED_TRACE(file.name);
        std::string path = extracted + "/" + file.name;
        struct stat info;
        ASSERT_EQ(0, stat(path.c_str(), &info));
        Bytes bytes = ReadFile(path);
        EXPECT_EQ(file.text, std::string(bytes.begin(), bytes.end()));
        EXPECT_EQ(ExtractedTime(file.modified), info.st_mtime);
        EXPECT_EQ(file.readOnly, !(info.st_mode & S_IWUSR));
    }
    EXPECT_EQ(DosAttributes(payload + "/readme.txt"), DosAttributes(extracted + "/readme.txt"));
}

// The Windows release as a user gets it: the zip that vuvpack.exe's build
// makes, unpacked; vuvpack.exe takes the stub beside it and the 32-bit
// product extracts the package.
TEST_F(SamePackageTest, TheWindowsZipBuildsAPackageWithoutAStubOption) {
    if (TestingWindowsBuild()) GTEST_SKIP() << "this test runs vuvpack.exe itself";
    if (std::string(VUVPACK_EXE_PATH).empty() || fs::path(VUV_STUB_PATH).filename() != "vuvuzu.exe") {
        GTEST_SKIP() << "the 32-bit tree runs it, with the 32-bit product";
    }
    std::string config = fs::path(VUVPACK_EXE_PATH).parent_path() / "CPackConfig.cmake";
    RunResult made = RunProgram("cpack", {"-G", "ZIP", "--config", config, "-B", Path("dist")});
    ASSERT_EQ(0, made.status) << made.out << made.err;
    std::string zip;
    for (const auto& entry : fs::directory_iterator(Path("dist"))) {
        if (entry.path().extension() == ".zip") zip = entry.path();
    }
    ASSERT_NE("", zip);
    fs::create_directories(Path("unpacked"));
    RunResult unpacked = RunProgram("bsdtar", {"-xf", zip, "-C", Path("unpacked")});
    ASSERT_EQ(0, unpacked.status) << unpacked.err;
    std::string release = Path("unpacked/") + fs::path(zip).stem().string();
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(release)) names.insert(entry.path().filename());
    EXPECT_EQ((std::set<std::string>{"vuvpack.exe", "vuvpack.md", "vuvuzu.exe", "vuvuzu64.exe"}), names);

    fs::create_directories(Path("payload/docs"));
    WriteFile(Path("payload/setup.ini"), std::string("[setup]\r\n"));
    WriteFile(Path("payload/docs/readme.txt"), std::string("read me\n"));
    std::string extracted = Path("extracted");
    RunResult built = RunUnderWine(release + "/vuvpack.exe",
                                   {"build", "--dir", Path("payload"), "-o", Path("setup.exe"), "--destination",
                                    WindowsPath(extracted), "--no-dialog", "--overwrite-all", "--no-open-folder"});
    ASSERT_EQ(0, built.status) << built.err;
    Bytes stub = ReadFile(release + "/vuvuzu.exe"), package = ReadFile(Path("setup.exe"));
    uint32_t imageEnd = ImageEndFromBytes(stub.data(), stub.size());
    ASSERT_NE(0u, imageEnd);
    ASSERT_GT(package.size(), imageEnd);
    EXPECT_TRUE(std::equal(stub.begin(), stub.begin() + imageEnd, package.begin())) << "the stub beside vuvpack.exe";

    RunResult run = RunProgram("timeout", {"600", VUV_WINE_RUN_PATH, Path("setup.exe")});
    EXPECT_NE(124, run.status) << "still running after 600 s";
    Bytes readme = ReadFile(extracted + "/docs/readme.txt"), ini = ReadFile(extracted + "/setup.ini");
    EXPECT_EQ("read me\n", std::string(readme.begin(), readme.end())) << run.err;
    EXPECT_EQ("[setup]\r\n", std::string(ini.begin(), ini.end()));
}

}  // namespace
