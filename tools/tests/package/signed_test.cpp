// Signed packages: built with --crc, signed by osslsigncode with a
// throwaway certificate made here, verified, and inspected as the module
// reads them (the CRC stops at the certificate table).
#include <string.h>
#include <unistd.h>

#include <functional>

#include "base/image_end.h"
#include "base/package_header.h"
#include "support/tool_test.h"
#include "vuvpack/package/package_layout.h"

namespace {

class SignedTest : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        RunResult made = RunProgram("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                                                Path("key.pem"), "-out", Path("cert.pem"), "-days", "2", "-subj",
                                                "/CN=Throwaway test signer"});
        ASSERT_EQ(0, made.status) << made.err;
        cab_ = MakeCabinet("payload.cab", {{"setup.exe", "not really a program"}, {"notes.txt", "notes"}});
    }

    // The real stub with the cabinet, a command and the CRC.
    Bytes Build(const std::string& name) {
        RunResult run = RunVuvpack({"build", "--stub", kStubPath, "--cab", cab_, "-o", Path(name), "--command",
                                    "setup.exe", "--crc"});
        EXPECT_EQ(0, run.status) << run.err;
        return ReadFile(Path(name));
    }

    Bytes Sign(const std::string& in, const std::string& out) {
        RunResult run = RunProgram("osslsigncode", {"sign", "-certs", Path("cert.pem"), "-key", Path("key.pem"),
                                                    "-in", Path(in), "-out", Path(out)});
        EXPECT_EQ(0, run.status) << run.out << run.err;
        return ReadFile(Path(out));
    }

    // The image's security directory (data directory 4), by layout.
    static size_t DirectoryAt(const Bytes& package) {
        size_t optional = U32At(package, 0x3C) + 24;
        return optional + (U16At(package, optional) == 0x020B ? 144 : 128);
    }

    static size_t HeaderEnd(const Bytes& package) { return ImageEnd(package) + kHeaderSize; }
    static size_t ImageEnd(const Bytes& package) { return ImageEndFromBytes(package.data(), package.size()); }

    // Stores the CRC of the bytes from the header's end up to end.
    static void StoreCrcUpTo(Bytes* package, size_t end) {
        CrcRun run;
        CrcStart(&run);
        size_t headerEnd = HeaderEnd(*package);
        CrcAdd(&run, package->data() + headerEnd, end - headerEnd);
        uint32_t crc = CrcValue(run);
        memcpy(&(*package)[ImageEnd(*package) + 800], &crc, 4);
    }

    std::string cab_;
};

TEST_F(SignedTest, ASignedCrcPackageVerifiesAndIsSound) {
    Bytes unsigned_ = Build("unsigned.exe");
    EXPECT_EQ(0u, unsigned_.size() % 8) << "the signer would pad the package";
    Bytes package = Sign("unsigned.exe", "signed.exe");

    RunResult verify = RunProgram("osslsigncode", {"verify", "-CAfile", Path("cert.pem"), "-in", Path("signed.exe")});
    EXPECT_EQ(0, verify.status) << verify.out << verify.err;
    EXPECT_NE(std::string::npos, verify.out.find("Signature verification: ok")) << verify.out;

    uint32_t tableOffset = U32At(package, DirectoryAt(package)), tableSize = U32At(package, DirectoryAt(package) + 4);
    EXPECT_EQ(unsigned_.size(), tableOffset) << "the table follows the package without padding";
    EXPECT_EQ(package.size(), (size_t)tableOffset + tableSize);
    EXPECT_TRUE(std::equal(unsigned_.begin() + HeaderEnd(unsigned_), unsigned_.end(),
                           package.begin() + HeaderEnd(unsigned_)))
        << "signing leaves the header and the cabinet as they are";

    RunResult text = RunVuvpack({"inspect", Path("signed.exe")});
    EXPECT_EQ(0, text.status) << text.err;
    EXPECT_NE(std::string::npos, text.out.find("certificate table: offset " + std::to_string(tableOffset) + ", " +
                                               std::to_string(tableSize) + " bytes (not covered by the CRC)\n"))
        << text.out;
    EXPECT_NE(std::string::npos, text.out.find("crc: ok")) << text.out;
    EXPECT_NE(std::string::npos, text.out.find("status: sound\n")) << text.out;

    RunResult json = RunVuvpack({"inspect", Path("signed.exe"), "--json"});
    EXPECT_EQ(0, json.status) << json.err;
    EXPECT_NE(std::string::npos, json.out.find("\"certificateTable\": {\"offset\": " + std::to_string(tableOffset) +
                                               ", \"size\": " + std::to_string(tableSize) + "}"))
        << json.out;
    EXPECT_NE(std::string::npos, json.out.find("\"crc\": {\"status\": \"ok\"")) << json.out;
    EXPECT_NE(std::string::npos, json.out.find("\"sound\": true")) << json.out;

    RunResult plain = RunVuvpack({"inspect", Path("unsigned.exe"), "--json"});
    EXPECT_NE(std::string::npos, plain.out.find("\"certificateTable\": null")) << plain.out;
}

// inspect judges the table as the module does: a changed certificate is
// the system's to find; a directory that can't be trusted leaves the whole
// rest of the file checked, so a CRC made up to its offset mismatches.
TEST_F(SignedTest, InspectChecksTheRangeTheModuleChecks) {
    Build("unsigned.exe");
    const Bytes original = Sign("unsigned.exe", "signed.exe");
    const size_t directory = DirectoryAt(original), table = U32At(original, directory);
    const size_t headerEnd = HeaderEnd(original);
    // An aligned place inside the cabinet, whose bytes are no certificate entry.
    const size_t inCabinet = (headerEnd + 64) / 8 * 8;
    ASSERT_LT(inCabinet + 8, table);
    struct Row {
        const char* name;
        std::function<void(Bytes*)> change;
        bool sound;
    } rows[] = {
        {"unchanged", [](Bytes*) {}, true},
        {"a byte inside the certificate", [&](Bytes* p) { (*p)[table + 100] ^= 0x01; }, true},
        {"a byte inside the cabinet", [&](Bytes* p) { (*p)[headerEnd + 40] ^= 0x01; }, false},
        {"the directory points past the end",
         [&](Bytes* p) { PutU32(p, directory + 4, U32At(*p, directory + 4) + 8); }, false},
        {"the directory points at cabinet bytes",
         [&](Bytes* p) {
             PutU32(p, directory, (uint32_t)inCabinet);
             PutU32(p, directory + 4, (uint32_t)(p->size() - inCabinet));
             StoreCrcUpTo(p, inCabinet);
         },
         false},
        {"the entry's revision is 1.0", [&](Bytes* p) { (*p)[table + 5] = 0x01; }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes package = original;
        row.change(&package);
        WriteFile(Path("changed.exe"), package);
        RunResult run = RunVuvpack({"inspect", Path("changed.exe")});
        EXPECT_EQ(row.sound ? 0 : 1, run.status) << run.out << run.err;
        EXPECT_NE(std::string::npos, run.out.find(row.sound ? "crc: ok" : "crc: mismatch")) << run.out;
    }
}

// A package whose length was no multiple of 8 (as vuvpack built them
// before), signed: the signer's zero bytes sit before the table, inside the
// range the module checks but outside the stored CRC, and inspect says so.
TEST_F(SignedTest, APackageSignedWithTheSignersPaddingIsExplained) {
    Bytes package = Build("built.exe");
    ASSERT_EQ(0, memcmp(&package[HeaderEnd(package)], "MSCF", 4)) << "the cabinet moved to the next block";
    size_t cabinetEnd = HeaderEnd(package) + ReadFile(cab_).size();
    size_t padding = (8 - cabinetEnd % 8) % 8;
    ASSERT_NE(0u, padding) << "this cabinet needs no padding; pick another";
    package.resize(cabinetEnd);
    StoreCrcUpTo(&package, cabinetEnd);
    WriteFile(Path("old.exe"), package);
    Bytes signed_ = Sign("old.exe", "signed.exe");
    ASSERT_EQ(cabinetEnd + padding, U32At(signed_, DirectoryAt(signed_)));

    RunResult run = RunVuvpack({"inspect", Path("signed.exe")});
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.out.find("certificate table: offset " + std::to_string(cabinetEnd + padding)))
        << run.out;
    EXPECT_NE(std::string::npos,
              run.err.find("signing padded the package with " + std::to_string(padding) +
                           " zero bytes before its certificate table, which the stored CRC does not cover"))
        << run.err;
}

// A package built on a signed stub, or rebuilt from a signed package, leaves
// the certificate table out and clears its entry and the image checksum: it
// is unsigned, not broken, and signs without a complaint.
TEST_F(SignedTest, APackageBuiltOnASignedStubHasACleanSecurityDirectory) {
    WriteFile(Path("stub.exe"), ReadFile(kStubPath));
    const Bytes signedStub = Sign("stub.exe", "signed-stub.exe");
    const size_t checksumAt = U32At(signedStub, 0x3C) + 24 + 64;
    ASSERT_NE(0u, U32At(signedStub, DirectoryAt(signedStub)));
    ASSERT_NE(0u, U32At(signedStub, checksumAt)) << "the signer set no checksum to clear";
    Build("package.exe");
    Sign("package.exe", "signed-package.exe");

    const struct {
        const char* stub;
        std::string warning;
    } rows[] = {
        {"signed-stub.exe", ": the " + std::to_string(signedStub.size() - ImageEnd(signedStub)) +
                                " bytes after its image are not a package and are left out; they hold its "
                                "certificate table: its entry in the security directory and the image checksum "
                                "are cleared (sign the package)\n"},
        {"signed-package.exe",
         ": its certificate table is left out: its entry in the security directory and the image checksum are "
         "cleared (sign the package)\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stub);
        RunResult run = RunVuvpack({"build", "--stub", Path(row.stub), "--cab", cab_, "-o", Path("built.exe"),
                                    "--command", "setup.exe", "--crc"});
        EXPECT_EQ(0, run.status) << run.err;
        EXPECT_EQ("vuvpack: warning: " + Path(row.stub) + row.warning, run.err);
        Bytes package = ReadFile(Path("built.exe"));
        EXPECT_EQ(0u, U32At(package, DirectoryAt(package)));
        EXPECT_EQ(0u, U32At(package, DirectoryAt(package) + 4));
        EXPECT_EQ(0u, U32At(package, checksumAt));

        RunResult sign = RunProgram("osslsigncode", {"sign", "-certs", Path("cert.pem"), "-key", Path("key.pem"),
                                                     "-in", Path("built.exe"), "-out", Path("resigned.exe")});
        EXPECT_EQ(0, sign.status) << sign.err;
        EXPECT_EQ(std::string::npos, sign.err.find("arning")) << sign.err;
        RunResult verify =
            RunProgram("osslsigncode", {"verify", "-CAfile", Path("cert.pem"), "-in", Path("resigned.exe")});
        EXPECT_NE(std::string::npos, verify.out.find("Signature verification: ok")) << verify.out;
        EXPECT_EQ(0, RunVuvpack({"inspect", Path("resigned.exe")}).status);
        unlink(Path("resigned.exe").c_str());
    }
}

}  // namespace
