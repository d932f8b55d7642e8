// inspect: decoded header, cabinet summary, kinds of file and exit status.
#include "support/pe_fixture.h"
#include "support/tool_test.h"

namespace {

class InspectTest : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        WriteFile(Path("stub.exe"), MakePeEndingAt(16384));
        cab_ = MakeCabinet("payload.cab", {{"one.txt", "1"}, {"two.txt", "22"}, {"three.txt", std::string(5000, '3')}});
    }

    std::string Build(const std::string& name, const std::vector<std::string>& options) {
        std::vector<std::string> args = {"build", "--stub", Path("stub.exe"), "--cab", cab_, "-o", Path(name)};
        args.insert(args.end(), options.begin(), options.end());
        RunResult run = RunVuvpack(args);
        EXPECT_EQ(0, run.status) << run.err;
        return Path(name);
    }

    // One value of the JSON report, read by Python's own parser.
    std::string JsonValue(const std::string& json, const std::string& expression) {
        WriteFile(Path("report.json"), json);
        RunResult run = RunProgram("python3", {"-c",
                                               "import json,sys\n"
                                               "d=json.load(open(sys.argv[1],encoding='utf-8'))\n"
                                               "sys.stdout.write(json.dumps(" + expression +
                                                   ",ensure_ascii=False))",
                                               Path("report.json")});
        EXPECT_EQ(0, run.status) << run.err << json;
        return run.out;
    }

    std::string cab_;
};

TEST_F(InspectTest, JsonReportDecodesTheHeaderAndSummarisesTheCabinet) {
    std::string package = Build("out.exe", {"--destination", "%ProgramFiles%\\Tool \"x\"", "--command",
                                            "setup.exe /q", "--overwrite-all", "--confirm-caption",
                                            "\xE7\xA2\xBA\xE8\xAA\x8D", "--confirm-prompt",
                                            "Line one\nline two \xF0\x9F\x98\x80", "--crc"});
    RunResult run = RunVuvpack({"inspect", package, "--json"});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ("\"package\"", JsonValue(run.out, "d['kind']"));
    EXPECT_EQ("16384", JsonValue(run.out, "d['imageEnd']"));
    EXPECT_EQ("17380", JsonValue(run.out, "d['cabinetOffset']"));
    EXPECT_EQ("\"%ProgramFiles%\\\\Tool \\\"x\\\"\"", JsonValue(run.out, "d['header']['destination']"));
    EXPECT_EQ("\"setup.exe /q\"", JsonValue(run.out, "d['header']['command']"));
    EXPECT_EQ("\"\xE7\xA2\xBA\xE8\xAA\x8D\"", JsonValue(run.out, "d['header']['confirmCaption']"));
    EXPECT_EQ("\"Line one\\nline two \xF0\x9F\x98\x80\"", JsonValue(run.out, "d['header']['confirmPrompt']"));
    EXPECT_EQ("[\"3\", 1, 1, 0, 0]",
              JsonValue(run.out, "[d['header'][k] for k in ('variant','OverwriteAll','OpenFolderWhenDone',"
                                 "'DeleteAfterRun','SkipDestinationDialog')]"));
    EXPECT_EQ("[3, 5003, 1, [\"MSZIP\"]]",
              JsonValue(run.out, "[d['cabinet'][k] for k in ('files','totalSize','folders','compression')]"));
    EXPECT_EQ("[\"ok\", true]", JsonValue(run.out, "[d['crc']['status'], d['crc']['stored']==d['crc']['computed']]"));
    EXPECT_EQ("[[], true]", JsonValue(run.out, "[d['problems'], d['sound']]"));
}

TEST_F(InspectTest, TextReportShowsWhatTheModuleIgnoresWithoutACommand) {
    std::string package = Build("out.exe", {"--delete-after-run", "--x64"});
    RunResult run = RunVuvpack({"inspect", package});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("  variant: '6' (ignored: no command)\n")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("  DeleteAfterRun: 1 (ignored: no command)\n"));
    EXPECT_NE(std::string::npos, run.out.find("cabinet: 3 files, 5003 bytes, 1 folder, MSZIP"));
    EXPECT_NE(std::string::npos, run.out.find("crc: none\n"));
    EXPECT_NE(std::string::npos, run.out.find("status: sound\n"));
}

// The module checks bytes 0-5 and 7 of the header; byte 6 is the variant.
// Which module a package was built on, by its image's processor: the
// same hand-made image with the machine of each stub, and one of neither.
TEST_F(InspectTest, NamesTheStubByItsProcessor) {
    const struct {
        uint16_t machine;
        const char* line;
        const char* json;
    } rows[] = {
        {0x014C, "stub: vuvuzu.exe (32-bit, i386)\n", "\"vuvuzu.exe (32-bit, i386)\""},
        {0x8664, "stub: vuvuzu64.exe (64-bit, x86-64)\n", "\"vuvuzu64.exe (64-bit, x86-64)\""},
        {0xAA64, "stub: unknown (machine 0x0000AA64)\n", "\"unknown (machine 0x0000AA64)\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.machine);
        Bytes stub = MakePeEndingAt(16384);
        stub[0x84] = (uint8_t)row.machine;  // e_lfanew 0x80, machine after "PE\0\0"
        stub[0x85] = (uint8_t)(row.machine >> 8);
        WriteFile(Path("stub.exe"), stub);
        std::string package = Build("out.exe", {});
        RunResult text = RunVuvpack({"inspect", package});
        EXPECT_NE(std::string::npos, text.out.find(row.line)) << text.out;
        RunResult json = RunVuvpack({"inspect", package, "--json"});
        EXPECT_EQ(row.json, JsonValue(json.out, "d['stub']"));
    }
    RunResult cabinet = RunVuvpack({"inspect", cab_, "--json"});
    EXPECT_EQ("null", JsonValue(cabinet.out, "d['stub']"));
}

TEST_F(InspectTest, HeaderMagicDecidesWhetherThereIsAHeader) {
    std::string package = Build("out.exe", {});
    struct Case {
        size_t offset;
        uint8_t value;
        int status;
        const char* kind;
    };
    const Case cases[] = {
        {16384 + 0, 'k', 1, "executable without package"},
        {16384 + 5, 'Y', 1, "executable without package"},
        {16384 + 7, 'V', 1, "executable without package"},
        {16384 + 6, '9', 0, "package"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE("byte " + std::to_string(row.offset - 16384));
        Bytes bytes = ReadFile(package);
        bytes[row.offset] = row.value;
        WriteFile(Path("changed.exe"), bytes);
        RunResult run = RunVuvpack({"inspect", Path("changed.exe")});
        EXPECT_EQ(row.status, run.status) << run.err;
        EXPECT_NE(std::string::npos, run.out.find(std::string("kind: ") + row.kind + "\n")) << run.out;
        if (row.status != 0) {
            EXPECT_NE(std::string::npos, run.err.find(Path("changed.exe") + ": no package header at the image end (16384)"))
                << run.err;
        }
    }
}

TEST_F(InspectTest, FilesThatAreNotPackagesAreDescribedAndFail) {
    WriteFile(Path("notes.txt"), std::string(2000, 'n'));
    Bytes withTail = MakePeEndingAt(16384);
    withTail.resize(16384 + 500, 0);
    WriteFile(Path("short.exe"), withTail);
    struct Case {
        std::string file;
        const char* kind;
        const char* problem;
    };
    const Case cases[] = {
        {cab_, "kind: cabinet\n", "a plain cabinet file, with no package header"},
        {Path("stub.exe"), "kind: executable without package\n", "nothing is appended to the image (it ends at 16384)"},
        {Path("short.exe"), "kind: executable without package\n",
         "too short for a package header after the image (it ends at 16384, the file at 16884)"},
        {Path("notes.txt"), "kind: unknown\n", "not a PE image whose end can be found"},
        {kStubPath, "kind: executable without package\n", "nothing is appended to the image"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.file);
        RunResult run = RunVuvpack({"inspect", row.file});
        EXPECT_EQ(1, run.status);
        EXPECT_NE(std::string::npos, run.out.find(row.kind)) << run.out;
        EXPECT_NE(std::string::npos, run.err.find(row.file + ": " + row.problem)) << run.err;
    }
    RunResult plain = RunVuvpack({"inspect", cab_});
    EXPECT_NE(std::string::npos, plain.out.find("cabinet offset: 0\ncabinet: 3 files, 5003 bytes")) << plain.out;
}

// The module takes the first signature anywhere in the file for the cabinet.
TEST_F(InspectTest, SignatureBeforeTheHeaderEndIsAProblem) {
    std::string package = Build("out.exe", {});
    Bytes bytes = ReadFile(package);
    const char kSignature[] = "MSCF\0\0\0";
    std::copy(kSignature, kSignature + 8, bytes.begin() + 8000);
    WriteFile(Path("early.exe"), bytes);
    RunResult run = RunVuvpack({"inspect", Path("early.exe")});
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.out.find("cabinet offset: 8000\n")) << run.out;
    EXPECT_NE(std::string::npos, run.err.find("the first cabinet signature (8000) lies before the end of the header (17380)"))
        << run.err;
}

// A cabinet made elsewhere, with names the module would rewrite or that
// Windows takes for one another.
TEST_F(InspectTest, NamesWindowsCantHoldAreProblems) {
    // A colon would do too, but gcab reads a name with one as a URI.
    std::string odd = MakeCabinet("odd.cab", {{"a|b.txt", "1"}, {"q?.txt", "2"}, {"CON", "3"}, {"trail.", "4"},
                                              {"Index.html", "5"}, {"index.html", "6"}, {"fine.txt", "7"}});
    RunResult made = RunVuvpack({"build", "--stub", Path("stub.exe"), "--cab", odd, "-o", Path("odd.exe")});
    ASSERT_EQ(0, made.status) << made.err;
    const std::string problems[] = {
        "the file a|b.txt: its name holds '|', which Windows refuses in names",
        "the file q?.txt: its name holds '?', which Windows refuses in names",
        "the file CON: its name is the device CON on Windows",
        "the file trail.: its name ends with a dot, which Windows drops",
        "the file Index.html: Windows takes it for index.html (the names are equal when case is ignored)",
        "the file index.html: Windows takes it for Index.html (the names are equal when case is ignored)",
    };
    for (const std::string& package : {Path("odd.exe"), odd}) {
        SCOPED_TRACE(package);
        RunResult text = RunVuvpack({"inspect", package});
        EXPECT_EQ(1, text.status);
        EXPECT_NE(std::string::npos, text.out.find("status: not sound\n")) << text.out;
        EXPECT_EQ(std::string::npos, text.out.find("fine.txt")) << text.out;
        for (const std::string& problem : problems) {
            EXPECT_NE(std::string::npos, text.out.find("problem: " + problem + "\n")) << text.out;
            EXPECT_NE(std::string::npos, text.err.find("vuvpack: " + package + ": " + problem + "\n")) << text.err;
        }
        RunResult json = RunVuvpack({"inspect", package, "--json"});
        EXPECT_EQ(1, json.status);
        EXPECT_EQ("false", JsonValue(json.out, "d['sound']"));
        std::string listed = JsonValue(json.out, "[p for p in d['problems'] if p.startswith('the file ')]");
        std::string expected;
        for (const std::string& problem : problems) expected += (expected.empty() ? "[\"" : "\", \"") + problem;
        EXPECT_EQ(expected + "\"]", listed);
    }
}

TEST_F(InspectTest, MissingFilesAndUsageErrors) {
    RunResult missing = RunVuvpack({"inspect", Path("absent.exe")});
    EXPECT_EQ(1, missing.status);
    EXPECT_EQ("vuvpack: " + Path("absent.exe") + ": No such file or directory\n", missing.err);
    EXPECT_EQ("", missing.out);

    const std::vector<std::string> usage[] = {
        {"inspect"}, {"inspect", "--xml", cab_}, {"inspect", cab_, cab_}, {}, {"pack"},
    };
    for (const auto& args : usage) {
        RunResult run = RunVuvpack(args);
        EXPECT_EQ(2, run.status) << (args.empty() ? "" : args.back());
        EXPECT_NE(std::string::npos, run.err.find("vuvpack")) << run.err;
    }
    for (const char* command : {"build", "inspect"}) {
        RunResult help = RunVuvpack({command, "--help"});
        EXPECT_EQ(0, help.status);
        EXPECT_EQ(0u, help.out.find(std::string("Usage: vuvpack ") + command)) << help.out;
    }
}

}  // namespace
