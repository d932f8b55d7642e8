// The largest cabinet the module reads, 2,147,483,647 bytes, on both sides:
// sparse cabinets whose one file's data lies at their very end.
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/pe_fixture.h"
#include "support/tool_test.h"

namespace {

const std::string kContent = "whole at the end\r\n";

// A readable cabinet of size bytes, written sparse: header, one
// uncompressed folder, one file entry, a hole, and the data block.
void WriteSparseCabinet(const std::string& path, uint64_t size) {
    Bytes tail(8, 0);
    PutU16(&tail, 4, (uint16_t)kContent.size());
    PutU16(&tail, 6, (uint16_t)kContent.size());
    tail.insert(tail.end(), kContent.begin(), kContent.end());

    Bytes head(60, 0);
    memcpy(head.data(), "MSCF", 4);
    PutU32(&head, 8, (uint32_t)size);
    PutU32(&head, 16, 44);  // first file entry
    head[24] = 3;
    head[25] = 1;
    PutU16(&head, 26, 1);  // folders
    PutU16(&head, 28, 1);  // files
    PutU32(&head, 36, (uint32_t)(size - tail.size()));
    PutU16(&head, 40, 1);  // data blocks; no compression
    PutU32(&head, 44, (uint32_t)kContent.size());
    PutU16(&head, 54, 0x5867);  // 7 March 2024
    PutU16(&head, 58, 0x20);
    const char name[] = "large.txt";
    head.insert(head.end(), name, name + sizeof name);

    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ((ssize_t)head.size(), pwrite(fd, head.data(), head.size(), 0));
    ASSERT_EQ((ssize_t)tail.size(), pwrite(fd, tail.data(), tail.size(), (off_t)(size - tail.size())));
    close(fd);
}

class CabinetLimitTest : public ToolTest {};

TEST_F(CabinetLimitTest, TheLargestCabinetIsPackedAndOneByteMoreIsRefusedWithNoOutput) {
    WriteFile(Path("stub.exe"), MakePeEndingAt(16384));
    const std::string stub = Path("stub.exe"), out = Path("out.exe");

    WriteSparseCabinet(Path("over.cab"), 0x80000000ull);
    RunResult refused = RunVuvpack({"build", "--stub", stub, "--cab", Path("over.cab"), "-o", out});
    EXPECT_EQ(1, refused.status);
    EXPECT_EQ("vuvpack: " + out +
                  ": the cabinet has 2147483648 bytes; the module reads cabinets of at most 2147483647 bytes (the "
                  "cabinet library's offsets are 32-bit signed)\n",
              refused.err);
    unlink(Path("over.cab").c_str());
    EXPECT_EQ((std::vector<std::string>{"stub.exe"}), ListFolder(Dir())) << "no package, no temporary file";

    WriteSparseCabinet(Path("largest.cab"), 0x7FFFFFFFull);
    RunResult built = RunVuvpack({"build", "--stub", stub, "--cab", Path("largest.cab"), "-o", out});
    EXPECT_EQ(0, built.status) << built.err;
    struct stat info;
    ASSERT_EQ(0, stat(out.c_str(), &info));
    // Image, header, the cabinet, and zeros up to a multiple of 8.
    EXPECT_EQ(16384 + 996 + 0x7FFFFFFFll + 5, (long long)info.st_size);
    unlink(out.c_str());
    unlink(Path("largest.cab").c_str());
}

}  // namespace
