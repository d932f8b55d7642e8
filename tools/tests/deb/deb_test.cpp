// The Debian package, unpacked by the fixture deb_package.make into a root
// of its own: what it holds, what it depends on, and vuvpack run from there
// as after an install, without --stub. The package built for this tree's
// architecture then runs under Wine and extracts its files.
#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "base/image_end.h"
#include "support/tool_test.h"

namespace {

namespace fs = std::filesystem;

const std::string kRoot = DEB_FOLDER "/root";
const std::string kStubFolder = kRoot + "/usr/share/vuvuzu";

std::string DebFile() {
    for (const auto& entry : fs::directory_iterator(DEB_FOLDER)) {
        if (entry.path().extension() == ".deb") return entry.path();
    }
    ADD_FAILURE() << "no .deb in " << DEB_FOLDER;
    return "";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The package names of a Depends field: every alternative, without
// versions or architecture qualifiers.
std::set<std::string> PackageNames(const std::string& field) {
    std::set<std::string> names;
    std::string name;
    bool inName = true;
    for (char c : field + ",") {
        if (c == ',' || c == '|') {
            if (!name.empty()) names.insert(name);
            name.clear();
            inName = true;
        } else if (c == ' ' || c == '(' || c == ':') {
            inName = inName && name.empty();
        } else if (inName) {
            name += c;
        }
    }
    return names;
}

// The installed packages that names depend on, directly or not, names
// included.
std::set<std::string> DependencyClosure(std::set<std::string> names) {
    std::vector<std::string> pending(names.begin(), names.end());
    while (!pending.empty()) {
        std::string name = pending.back();
        pending.pop_back();
        RunResult query = RunProgram("dpkg-query", {"-W", "-f", "${Depends}, ${Pre-Depends}", name});
        for (const std::string& next : PackageNames(query.out)) {
            if (names.insert(next).second) pending.push_back(next);
        }
    }
    return names;
}

// The package that installed a library (dpkg -S), without its
// architecture; tried under the merged /usr's other name too.
std::string OwnerOf(const std::string& path) {
    for (std::string name : {path, fs::canonical(path).string()}) {
        for (std::string candidate : {name, name.rfind("/usr/", 0) == 0 ? name.substr(4) : "/usr" + name}) {
            RunResult search = RunProgram("dpkg", {"-S", candidate});
            if (search.status == 0) return search.out.substr(0, search.out.find_first_of(":,"));
        }
    }
    return "";
}

// Libraries that ldd lists: name => path.
std::map<std::string, std::string> SharedLibraries(const std::string& program) {
    RunResult ldd = RunProgram("ldd", {program});
    EXPECT_EQ(0, ldd.status) << ldd.err;
    std::map<std::string, std::string> libraries;
    for (const std::string& line : Lines(ldd.out)) {
        EXPECT_EQ(std::string::npos, line.find("not found")) << line;
        size_t arrow = line.find(" => /");
        if (arrow == std::string::npos) continue;  // the vDSO and the loader's own line
        std::string name = line.substr(line.find_first_not_of(" \t"));
        name = name.substr(0, name.find(' '));
        libraries[name] = line.substr(arrow + 4, line.find(" (", arrow) - arrow - 4);
    }
    return libraries;
}

// The libraries the program names itself (NEEDED entries).
std::set<std::string> NeededLibraries(const std::string& program) {
    RunResult dump = RunProgram("objdump", {"-p", program});
    EXPECT_EQ(0, dump.status) << dump.err;
    std::set<std::string> needed;
    for (const std::string& line : Lines(dump.out)) {
        std::istringstream fields(line);
        std::string key, value;
        if (fields >> key >> value && key == "NEEDED") needed.insert(value);
    }
    return needed;
}

std::string DebField(const std::string& field) {
    RunResult info = RunProgram("dpkg-deb", {"--field", DebFile(), field});
    EXPECT_EQ(0, info.status) << info.err;
    return info.out.substr(0, info.out.find_last_not_of('\n') + 1);
}

TEST(DebPackage, HoldsVuvpackBothStubsAndTheManual) {
    EXPECT_TRUE(fs::is_regular_file(kRoot + "/usr/bin/vuvpack"));
    EXPECT_TRUE(ReadFile(kStubFolder + "/vuvuzu.exe") == ReadFile(VUV_STUB_X86));
    EXPECT_TRUE(ReadFile(kStubFolder + "/vuvuzu64.exe") == ReadFile(VUV_STUB_X64));
    EXPECT_TRUE(ReadFile(kRoot + "/usr/share/doc/vuvuzu/vuvpack.md") == ReadFile(VUV_SOURCE_MANUAL));
    EXPECT_EQ("vuvuzu", DebField("Package"));
    EXPECT_EQ(VUV_VERSION, DebField("Version"));
}

// Every library vuvpack needs comes from a package the .deb depends on:
// the ones it names itself directly, the rest through their dependencies.
TEST(DebPackage, DependenciesCoverEveryLibraryVuvpackNeeds) {
    RunResult info = RunProgram("dpkg-deb", {"--info", DebFile()});
    ASSERT_EQ(0, info.status) << info.err;
    EXPECT_NE(std::string::npos, info.out.find("\n Depends: ")) << info.out;
    std::set<std::string> depends = PackageNames(DebField("Depends"));
    std::set<std::string> closure = DependencyClosure(depends);
    std::string program = kRoot + "/usr/bin/vuvpack";
    std::set<std::string> needed = NeededLibraries(program);
    std::map<std::string, std::string> libraries = SharedLibraries(program);
    ASSERT_FALSE(needed.empty());
    for (const std::string& name : needed) EXPECT_EQ(1u, libraries.count(name)) << name << " not listed by ldd";
    for (const auto& library : libraries) {
        SCOPED_TRACE(library.second);
        std::string owner = OwnerOf(library.second);
        ASSERT_NE("", owner) << "no package installed it";
        if (needed.count(library.first)) {
            EXPECT_EQ(1u, depends.count(owner)) << owner << " is not in Depends: " << DebField("Depends");
        } else {
            EXPECT_EQ(1u, closure.count(owner)) << owner << " is not reached from Depends: " << DebField("Depends");
        }
    }
}

TEST(DebPackage, VersionShowsTheInstalledStubs) {
    RunResult run = RunVuvpack({"--version"});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(std::string("vuvpack ") + VUV_VERSION + "\nx86 stub: " + kStubFolder + "/vuvuzu.exe, version " +
                  VUV_VERSION + "\nx64 stub: " + kStubFolder + "/vuvuzu64.exe, version " + VUV_VERSION + "\n",
              run.out);
}

class DebBuild : public ToolTest {};

// Relative path => contents of every file below folder.
std::map<std::string, std::string> Tree(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        Bytes bytes = ReadFile(entry.path());
        files[fs::relative(entry.path(), folder)] = std::string(bytes.begin(), bytes.end());
    }
    return files;
}

// The Windows path of a Linux folder, through Wine's drive Z:.
std::string WindowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

TEST_F(DebBuild, PackagesBuiltWithoutAStubExtractTheirFilesUnderWine) {
    std::string payload = Path("payload");
    fs::create_directories(payload + "/docs");
    WriteFile(payload + "/setup.ini", std::string("[setup]\r\nname=sample\r\n"));
    WriteFile(payload + "/docs/readme.txt", std::string("read me\n"));
    std::string data;
    for (int i = 0; i < 200000; i++) data += (char)('a' + (i * 7919 % 26));
    WriteFile(payload + "/data.bin", data);

    // This tree's architecture is the one its Wine runs.
    std::string treeArch = fs::path(VUV_STUB_PATH).filename() == "vuvuzu64.exe" ? "x64" : "x86";
    const struct {
        const char* arch;
        std::vector<std::string> options;
        std::string stub;
    } cases[] = {
        {"x86", {}, VUV_STUB_X86},
        {"x64", {"--arch", "x64"}, VUV_STUB_X64},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.arch);
        std::string package = Path(std::string(row.arch) + "-setup.exe");
        std::string extracted = Path(std::string(row.arch) + "-extracted");
        std::vector<std::string> args = {"build", "--dir", payload, "-o", package, "--destination",
                                         WindowsPath(extracted), "--no-dialog", "--overwrite-all",
                                         "--no-open-folder"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        RunResult built = RunVuvpack(args);
        ASSERT_EQ(0, built.status) << built.err;
        Bytes stub = ReadFile(row.stub), bytes = ReadFile(package);
        uint32_t imageEnd = ImageEndFromBytes(stub.data(), stub.size());
        ASSERT_NE(0u, imageEnd);
        ASSERT_GT(bytes.size(), imageEnd);
        EXPECT_TRUE(std::equal(stub.begin(), stub.begin() + imageEnd, bytes.begin())) << "the installed stub";

        RunResult inspect = RunVuvpack({"inspect", package});
        EXPECT_EQ(0, inspect.status) << inspect.err;
        EXPECT_NE(std::string::npos, inspect.out.find("3 files")) << inspect.out;

        if (row.arch != treeArch) continue;
        RunResult run = RunProgram("timeout", {"300", VUV_WINE_RUN, package});
        EXPECT_NE(124, run.status) << "still running after 300 s";
        ASSERT_TRUE(fs::is_directory(extracted)) << "nothing extracted: " << run.err;
        EXPECT_EQ(Tree(payload), Tree(extracted));
    }
}

}  // namespace
