// build --dir: what goes into the cabinet, as the cabinet tools read it
// back, and what a cabinet can't hold.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include "support/cab_entries.h"
#include "support/pe_fixture.h"
#include "support/tool_test.h"
#include "vuvpack/package/folder_cabinet.h"

namespace {

void SetModified(const std::string& path, time_t when) {
    struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW)) << path;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

class FolderTest : public ToolTest {
public:
    void SetUp() override {
        ToolTest::SetUp();
        WriteFile(Path("stub.exe"), MakePeEndingAt(16384));
        std::filesystem::create_directories(Path("src"));
    }

    RunResult Build() {
        return RunVuvpack({"build", "--stub", Path("stub.exe"), "--dir", Path("src"), "-o", Path("out.exe")});
    }

    void Add(const std::string& name, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(Path("src/" + name)).parent_path());
        WriteFile(Path("src/" + name), text);
    }
};

struct Expected {
    std::string name;  // stored, with backslashes
    std::string text;
    std::string stamp;  // DOS time, local
    uint16_t attributes;
};

TEST_F(FolderTest, RoundTripKeepsNamesSizesTimesAndAttributes) {
    const std::string kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";
    Add("readme.txt", "hello");
    Add("docs/guide.txt", std::string(40000, 'g') + "end");
    Add("docs/.hidden", "secret");
    Add("locked.txt", "do not touch");
    Add(kJapanese, "nihongo");
    ASSERT_EQ(0, symlink("docs/guide.txt", Path("src/link.txt").c_str()));
    chmod(Path("src/locked.txt").c_str(), 0444);
    SetModified(Path("src/readme.txt"), LocalTime(2021, 3, 4, 5, 6, 8));
    SetModified(Path("src/docs/guide.txt"), LocalTime(2022, 7, 8, 9, 10, 11));
    SetModified(Path("src/docs/.hidden"), LocalTime(1999, 12, 31, 23, 59, 58));
    SetModified(Path("src/locked.txt"), LocalTime(2010, 1, 2, 3, 4, 6));
    SetModified(Path("src/" + kJapanese), LocalTime(2030, 6, 7, 8, 9, 10));
    const std::string kGuide = std::string(40000, 'g') + "end";
    const std::vector<Expected> expected = {
        {"docs\\.hidden", "secret", "1999-12-31 23:59:58", 0x22},
        {"docs\\guide.txt", kGuide, "2022-07-08 09:10:10", 0x20},  // DOS times keep even seconds
        {"link.txt", kGuide, "2022-07-08 09:10:10", 0x20},
        {"locked.txt", "do not touch", "2010-01-02 03:04:06", 0x21},
        {"readme.txt", "hello", "2021-03-04 05:06:08", 0x20},
        {kJapanese, "nihongo", "2030-06-07 08:09:10", 0xA0},
    };

    RunResult built = Build();
    ASSERT_EQ(0, built.status) << built.err;
    EXPECT_EQ("", built.err);
    Bytes package = ReadFile(Path("out.exe"));
    const size_t kCabinet = 16384 + 996;

    // The entries as stored.
    std::vector<CabEntry> entries = ReadCabEntries(package, kCabinet);
    std::sort(entries.begin(), entries.end(), [](const CabEntry& a, const CabEntry& b) { return a.name < b.name; });
    ASSERT_EQ(expected.size(), entries.size());
    for (size_t i = 0; i < expected.size(); i++) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(expected[i].name, entries[i].name);
        EXPECT_EQ(expected[i].text.size(), entries[i].size);
        EXPECT_EQ(expected[i].stamp, DosStampText(entries[i].date, entries[i].time));
        EXPECT_EQ(expected[i].attributes, entries[i].attributes);
    }

    // inspect's summary.
    RunResult inspect = RunVuvpack({"inspect", Path("out.exe")});
    EXPECT_EQ(0, inspect.status) << inspect.err;
    size_t total = 0;
    for (const Expected& file : expected) total += file.text.size();
    EXPECT_NE(std::string::npos, inspect.out.find("cabinet: 6 files, " + std::to_string(total) + " bytes, 1 folder, LZX"))
        << inspect.out;

    // gcab reads a cabinet file: the part after the header.
    WriteFile(Path("payload.cab"), Bytes(package.begin() + kCabinet, package.end()));
    RunResult gcab = RunProgram("gcab", {"-l", Path("payload.cab")});
    ASSERT_EQ(0, gcab.status) << gcab.err;
    std::set<std::string> gcabLines, gcabExpected;
    for (const std::string& line : Lines(gcab.out)) gcabLines.insert(line);
    for (const Expected& file : expected) {
        char attributes[8];
        snprintf(attributes, sizeof attributes, "0x%02X", file.attributes);
        gcabExpected.insert(file.name + " " + std::to_string(file.text.size()) + " " + file.stamp + " " + attributes);
    }
    EXPECT_EQ(gcabExpected, gcabLines) << gcab.out;

    // cabextract finds the cabinet inside the package by itself.
    RunResult listed = RunProgram("cabextract", {"-l", Path("out.exe")});
    ASSERT_EQ(0, listed.status) << listed.err;
    for (const Expected& file : expected) {
        std::string name = file.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        std::string date = file.stamp.substr(8, 2) + "." + file.stamp.substr(5, 2) + "." + file.stamp.substr(0, 4);
        char line[512];
        snprintf(line, sizeof line, "%10zu | %s %s | %s\n", file.text.size(), date.c_str(), file.stamp.substr(11).c_str(),
                 name.c_str());
        EXPECT_NE(std::string::npos, listed.out.find(line)) << line << listed.out;
    }
    RunResult extracted = RunProgram("cabextract", {"-q", "-d", Path("extracted"), Path("out.exe")});
    ASSERT_EQ(0, extracted.status) << extracted.err;
    for (const Expected& file : expected) {
        std::string name = file.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        Bytes text = ReadFile(Path("extracted/" + name));
        EXPECT_EQ(file.text, std::string(text.begin(), text.end())) << name;
    }
}

TEST_F(FolderTest, TimesBeforeTheDosEpochAreMovedWithAWarning) {
    Add("old.txt", "old");
    SetModified(Path("src/old.txt"), LocalTime(1975, 5, 5, 5, 5, 5));
    RunResult built = Build();
    ASSERT_EQ(0, built.status) << built.err;
    EXPECT_NE(std::string::npos, built.err.find("warning: " + Path("src/old.txt") +
                                                ": modification time outside 1980-2107, stored as 1980-1-1"))
        << built.err;
    std::vector<CabEntry> entries = ReadCabEntries(ReadFile(Path("out.exe")), 16384 + 996);
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ("1980-01-01 00:00:00", DosStampText(entries[0].date, entries[0].time));
}

struct RefusalCase {
    const char* what;
    std::function<void(FolderTest*)> prepare;
    std::string file;  // the path the message names, below the test folder
    std::string problem;
    const char* linuxOnly = nullptr;  // why vuvpack.exe under Wine can't meet the case
};

// Wine shows a Linux link as what it leads to and hides one that leads
// nowhere: vuvpack.exe's link rule (symbolic links and junctions) can't be
// tried under Wine.
const char kWineFollowsLinks[] = "Wine shows Linux links as their targets";

TEST_F(FolderTest, WhatACabinetCantHoldIsRefusedAndNothingIsWritten) {
    const RefusalCase cases[] = {
        {"empty folder", [](FolderTest*) {}, "src", "an empty folder"},
        {"empty subfolder",
         [](FolderTest* t) {
             t->Add("a.txt", "a");
             std::filesystem::create_directories(t->Path("src/empty"));
         },
         "src/empty", "an empty folder"},
        {"link outside",
         [](FolderTest* t) {
             WriteFile(t->Path("outside.txt"), "x");
             symlink(t->Path("outside.txt").c_str(), t->Path("src/out.txt").c_str());
         },
         "src/out.txt", "a link outside the folder (to " + Path("outside.txt") + ")", kWineFollowsLinks},
        {"link nowhere", [](FolderTest* t) { symlink("gone.txt", t->Path("src/dangling").c_str()); }, "src/dangling",
         "a link that leads nowhere", kWineFollowsLinks},
        {"link to a folder",
         [](FolderTest* t) {
             t->Add("sub/x.txt", "x");
             symlink("sub", t->Path("src/again").c_str());
         },
         "src/again", "a link to a folder", kWineFollowsLinks},
        {"named pipe", [](FolderTest* t) { mkfifo(t->Path("src/pipe").c_str(), 0644); }, "src/pipe",
         "not a regular file", "Windows has no named pipes in folders; Wine can't show one"},
        {"file of 2 GiB",
         [](FolderTest* t) {
             t->Add("big.bin", "");
             ASSERT_EQ(0, truncate(t->Path("src/big.bin").c_str(), 0x80000000ll));
         },
         "src/big.bin", "2147483648 bytes; a cabinet holds files below 2 GiB"},
        {"file larger than a cabinet folder",
         [](FolderTest* t) {
             t->Add("big.bin", "");
             ASSERT_EQ(0, truncate(t->Path("src/big.bin").c_str(), 65535ll * 32768 + 1));
         },
         "src/big.bin", "2147450881 bytes; a cabinet folder holds at most 2147450880"},
        {"backslash in a name", [](FolderTest* t) { t->Add("a\\b.txt", "x"); }, "src/a\\b.txt",
         "its name holds a backslash", "a Windows name can't hold a backslash"},
        {"name not UTF-8", [](FolderTest* t) { t->Add("bad\xFF.txt", "x"); }, "src/bad\xFF.txt",
         "its name is not valid UTF-8", "Windows names are UTF-16, always valid"},
        {"stored name too long", [](FolderTest* t) { t->Add(std::string(200, 'd') + "/" + std::string(60, 'f'), "x"); },
         "src/" + std::string(200, 'd') + "/" + std::string(60, 'f'), "its stored name has 261 bytes"},
    };
    for (const RefusalCase& row : cases) {
        SCOPED_TRACE(row.what);
        if (row.linuxOnly && TestingWindowsBuild()) {
            printf("Linux build only: %s: %s\n", row.what, row.linuxOnly);
            continue;
        }
        std::filesystem::remove_all(Path("src"));
        std::filesystem::create_directories(Path("src"));
        WriteFile(Path("out.exe"), "the previous package");
        row.prepare(this);
        std::vector<std::string> before = ListFolder(Dir());
        RunResult built = Build();
        EXPECT_EQ(1, built.status);
        EXPECT_NE(std::string::npos, built.err.find("vuvpack: " + Path(row.file) + ": " + row.problem)) << built.err;
        EXPECT_EQ(before, ListFolder(Dir())) << "no temporary file is left";
        Bytes previous = ReadFile(Path("out.exe"));
        EXPECT_EQ("the previous package", std::string(previous.begin(), previous.end()));
    }
}

// Every file whose name Windows can't hold is named, each on its line,
// and nothing is written.
TEST_F(FolderTest, NamesWindowsCantHoldAreRefusedEveryOneNamed) {
    const char* fine[] = {"fine.txt", "docs/guide.html", "...x", "COM10"};
    for (const char* name : fine) Add(name, "ok");
    struct Offending {
        std::string name;
        std::string problem;
        bool linuxOnly;  // Wine takes such a Linux name for a device, or can't open it
    };
    std::vector<Offending> offending = {
        {"a:b.txt", "its name holds ':', which Windows refuses in names", true},
        {"q?.txt", "its name holds '?'", true},
        {"CON", "its name is the device CON on Windows", true},
        {"nul.tar.gz", "its name is the device nul on Windows", true},
        {"trail.", "its name ends with a dot, which Windows drops", true},
        {"blank ", "its name ends with a blank", true},
        {"bad|dir/inner.txt", "its folder \"bad|dir\" holds '|'", true},
        {"Index.html",
         "Windows takes it for " + Path("src/index.html") + " (the names are equal when case is ignored)", false},
        {"index.html", "Windows takes it for " + Path("src/Index.html"), false},
        {"Docs/a", "Windows takes it for " + Path("src/docs/a"), false},
        {"docs/a", "Windows takes it for " + Path("src/Docs/a"), false},
        {"\xC3\x84rger", "Windows takes it for " + Path("src/\xC3\xA4rger"), false},
        {"\xC3\xA4rger", "Windows takes it for " + Path("src/\xC3\x84rger"), false},
        {"x", "Windows takes it for the folder " + Path("src/X"), false},
    };
    if (TestingWindowsBuild()) {
        printf("Linux build only: the names Wine takes for devices or can't open\n");
        offending.erase(std::remove_if(offending.begin(), offending.end(),
                                       [](const Offending& file) { return file.linuxOnly; }),
                        offending.end());
    }
    for (const Offending& file : offending) Add(file.name, "x");
    Add("X/y", "y");
    WriteFile(Path("out.exe"), "the previous package");
    std::vector<std::string> before = ListFolder(Dir());

    RunResult built = Build();
    EXPECT_EQ(1, built.status);
    std::vector<std::string> lines = Lines(built.err);
    for (const Offending& file : offending) {
        std::string start = "vuvpack: " + Path("src/" + file.name) + ": ";
        auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(start) == 0; });
        ASSERT_NE(lines.end(), line) << file.name << " is named in\n" << built.err;
        EXPECT_NE(std::string::npos, line->find(file.problem, start.size())) << *line;
    }
    for (const std::string& line : lines) {
        for (const char* name : fine) EXPECT_EQ(std::string::npos, line.find(Path("src/") + name + ":")) << line;
        EXPECT_EQ(std::string::npos, line.find(Path("src/X/y:"))) << line;
    }
    EXPECT_EQ("vuvpack: " + Path("src") + ": " + std::to_string(offending.size()) +
                  " files have names that Windows can't hold as they are; rename them",
              lines.back());
    EXPECT_EQ(before, ListFolder(Dir())) << "no temporary file is left";
    Bytes previous = ReadFile(Path("out.exe"));
    EXPECT_EQ("the previous package", std::string(previous.begin(), previous.end()));
}

TEST_F(FolderTest, MissingFolderOrAFileIsRefused) {
    Add("a.txt", "a");
    for (const std::string& dir : {Path("absent"), Path("src/a.txt")}) {
        RunResult built = RunVuvpack({"build", "--stub", Path("stub.exe"), "--dir", dir, "-o", Path("out.exe")});
        EXPECT_EQ(1, built.status);
        EXPECT_EQ(0u, built.err.find("vuvpack: " + dir + ": ")) << built.err;
        EXPECT_FALSE(PathExists(Path("out.exe")));
    }
}

TEST(FolderTotals, CountsAtTheCabinetLimits) {
    struct Case {
        uint64_t files;
        const char* problem;
    };
    const Case cases[] = {
        {0, "holds no file"},
        {1, ""},
        {65535, ""},
        {65536, "holds 65536 files; a cabinet holds at most 65535"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(std::to_string(row.files) + " files");
        std::string problem = FolderTotalsProblem(row.files);
        EXPECT_EQ(0u, problem.find(row.problem)) << problem;
        EXPECT_EQ(row.problem[0] == 0, problem.empty());
    }
}

TEST(DosTime, RangeEndsAreKeptAndOutsideTimesMoved) {
    struct Case {
        time_t when;
        bool representable;
        int year, month, day, hour, minute, second;
    };
    const Case cases[] = {
        {LocalTime(1980, 1, 1, 0, 0, 0), true, 1980, 1, 1, 0, 0, 0},
        {LocalTime(1979, 12, 31, 23, 59, 59), false, 1980, 1, 1, 0, 0, 0},
        {LocalTime(2107, 12, 31, 23, 59, 59), true, 2107, 12, 31, 23, 59, 59},
        {LocalTime(2108, 1, 1, 0, 0, 0), false, 2107, 12, 31, 23, 59, 58},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(std::to_string(row.year) + "-" + std::to_string(row.month));
        struct tm local;
        EXPECT_EQ(row.representable, DosTimeRepresentable(row.when, &local));
        EXPECT_EQ(row.year, local.tm_year + 1900);
        EXPECT_EQ(row.month, local.tm_mon + 1);
        EXPECT_EQ(row.day, local.tm_mday);
        EXPECT_EQ(row.hour, local.tm_hour);
        EXPECT_EQ(row.minute, local.tm_min);
        EXPECT_EQ(row.second, local.tm_sec);
    }
}

}  // namespace
