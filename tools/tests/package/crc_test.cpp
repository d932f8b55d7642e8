// The package CRC: the shared core, what build stores, what inspect checks.
#include <string.h>

#include "support/pe_fixture.h"
#include "support/tool_test.h"
#include "vuvpack/package/package_layout.h"

namespace {

// Bit by bit, as the checksum is defined: reflected 0xEDB88320, initial and
// final value 0xFFFFFFFF.
uint32_t BitwiseCrc(const uint8_t* bytes, size_t count) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; i++) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; bit++) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

TEST(Crc, CheckValueOfTheStandardText) {
    const char* text = "123456789";
    CrcRun run;
    CrcStart(&run);
    CrcAdd(&run, reinterpret_cast<const uint8_t*>(text), 9);
    EXPECT_EQ(0xCBF43926u, CrcValue(run));
}

// The core folds eight bytes per step; every split and length must give
// the byte-at-a-time result.
TEST(Crc, PiecesOfAnyLengthGiveTheSameValue) {
    Bytes data(1000);
    for (size_t i = 0; i < data.size(); i++) data[i] = (uint8_t)(i * 7 + (i >> 3));
    for (size_t length : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 999u, 1000u}) {
        for (size_t split : {0u, 1u, 3u, 8u, 13u}) {
            if (split > length) continue;
            SCOPED_TRACE("length " + std::to_string(length) + " split " + std::to_string(split));
            CrcRun run;
            CrcStart(&run);
            CrcAdd(&run, data.data(), split);
            CrcAdd(&run, data.data() + split, length - split);
            EXPECT_EQ(BitwiseCrc(data.data(), length), CrcValue(run));
        }
    }
}

class PackageCrcTest : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        WriteFile(Path("stub.exe"), MakePeEndingAt(16384));
        std::string cab = MakeCabinet("payload.cab", {{"a.txt", std::string(3000, 'x')}, {"b.txt", "b"}});
        RunResult run = RunVuvpack({"build", "--stub", Path("stub.exe"), "--cab", cab, "-o", Path("out.exe"),
                                    "--crc", "--confirm-prompt", "Go?"});
        ASSERT_EQ(0, run.status) << run.err;
        package_ = ReadFile(Path("out.exe"));
    }

    RunResult InspectChanged(size_t offset) {
        Bytes changed = package_;
        changed.at(offset) ^= 0x01;
        WriteFile(Path("changed.exe"), changed);
        return RunVuvpack({"inspect", Path("changed.exe")});
    }

    static const size_t kHeaderStart = 16384, kCovered = 16384 + 996;
    Bytes package_;
};

TEST_F(PackageCrcTest, BuildStoresTheCrcOfEveryByteAfterTheHeader) {
    uint32_t expected = BitwiseCrc(package_.data() + kCovered, package_.size() - kCovered);
    EXPECT_EQ(expected, U32At(package_, kHeaderStart + 800));
    RunResult run = RunVuvpack({"inspect", Path("out.exe")});
    EXPECT_EQ(0, run.status) << run.err;
    char line[64];
    snprintf(line, sizeof line, "crc: ok (0x%08X)\n", expected);
    EXPECT_NE(std::string::npos, run.out.find(line)) << run.out;
}

TEST_F(PackageCrcTest, OnlyChangesBehindTheHeaderMismatch) {
    struct Case {
        size_t offset;
        bool mismatch;
    };
    const Case cases[] = {
        {100, false},                       // image
        {kHeaderStart + 868, false},        // header: the prompt's first letter
        {kCovered, true},                   // first byte of the cabinet
        {kCovered + 100, true},             // inside the compressed data
        {package_.size() - 1, true},        // last byte of the file
    };
    for (const Case& row : cases) {
        SCOPED_TRACE("offset " + std::to_string(row.offset));
        RunResult run = InspectChanged(row.offset);
        if (!row.mismatch) {
            EXPECT_EQ(0, run.status) << run.err;
            EXPECT_NE(std::string::npos, run.out.find("crc: ok"));
            continue;
        }
        EXPECT_EQ(1, run.status);
        Bytes changed = ReadFile(Path("changed.exe"));
        char line[96];
        snprintf(line, sizeof line, "crc: mismatch: stored 0x%08X, computed 0x%08X\n", U32At(package_, kHeaderStart + 800),
                 BitwiseCrc(changed.data() + kCovered, changed.size() - kCovered));
        EXPECT_NE(std::string::npos, run.out.find(line)) << run.out;
        EXPECT_NE(std::string::npos, run.err.find(Path("changed.exe") + ": CRC mismatch")) << run.err;
    }
}

// Data appended behind the cabinet (a signature, say) is covered too.
TEST_F(PackageCrcTest, BytesAppendedAfterTheCabinetMismatch) {
    Bytes signed_ = package_;
    signed_.insert(signed_.end(), {1, 2, 3, 4});
    WriteFile(Path("appended.exe"), signed_);
    RunResult run = RunVuvpack({"inspect", Path("appended.exe"), "--json"});
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.out.find("\"crc\": {\"status\": \"mismatch\"")) << run.out;
}

}  // namespace
