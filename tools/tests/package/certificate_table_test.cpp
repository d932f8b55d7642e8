// Which security directory the module trusts: the rule shared by the module
// and inspect, on hand-made headers of both image layouts.
#include <string.h>

#include <functional>

#include "base/certificate_table.h"
#include "support/tool_test.h"

namespace {

enum Layout { kPe32, kPe32Plus };

const uint32_t kPeOffset = 0x80;
const uint32_t kHeaderEnd = 5000, kFileSize = 8000;  // the header at 4004, 996 bytes

// Where NumberOfRvaAndSizes and the security directory lie in the optional
// header, which starts 24 bytes after "PE\0\0".
uint32_t CountAt(Layout layout) { return kPeOffset + 24 + (layout == kPe32 ? 92 : 108); }
uint32_t DirectoryAt(Layout layout) { return kPeOffset + 24 + (layout == kPe32 ? 128 : 144); }

// The headers of an image: "MZ", e_lfanew, "PE\0\0", the file header and an
// optional header of the layout's usual size with 16 data directories.
Bytes MakeHeaders(Layout layout, uint32_t tableOffset, uint32_t tableSize) {
    Bytes bytes(0x200, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    PutU32(&bytes, 0x3C, kPeOffset);
    memcpy(&bytes[kPeOffset], "PE\0\0", 4);
    PutU16(&bytes, kPeOffset + 4, layout == kPe32 ? 0x014C : 0x8664);
    PutU16(&bytes, kPeOffset + 20, layout == kPe32 ? 0xE0 : 0xF0);
    PutU16(&bytes, kPeOffset + 24, layout == kPe32 ? 0x010B : 0x020B);
    PutU32(&bytes, CountAt(layout), 16);
    PutU32(&bytes, DirectoryAt(layout), tableOffset);
    PutU32(&bytes, DirectoryAt(layout) + 4, tableSize);
    return bytes;
}

bool TableOf(const Bytes& bytes, CertificateTable* table) {
    return CertificateTableFromBytes(bytes.data(), bytes.size(), kHeaderEnd, kFileSize, table);
}

TEST(CertificateTable, ThePlaceOfTheTableInBothLayouts) {
    struct Row {
        const char* name;
        uint32_t offset, size;
        bool trusted;
    } rows[] = {
        {"right behind the header", 5000, 3000, true},
        {"later, aligned", 5200, 2800, true},
        {"one entry head only", 7992, 8, true},
        {"zero", 0, 0, false},
        {"inside the image", 2000, 6000, false},
        {"inside the header", 4008, 3992, false},
        {"past the end of the file", 5200, 2808, false},
        {"beyond the file altogether", 8000, 8, false},
        {"not reaching the end", 5200, 2792, false},
        {"not at a multiple of 8", 5204, 2796, false},
        {"too small for an entry", 7996, 4, false},
    };
    for (Layout layout : {kPe32, kPe32Plus}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(layout == kPe32 ? "PE32: " : "PE32+: ") + row.name);
            CertificateTable table = {1, 1};
            ASSERT_EQ(row.trusted, TableOf(MakeHeaders(layout, row.offset, row.size), &table));
            if (!row.trusted) continue;
            EXPECT_EQ(row.offset, table.offset);
            EXPECT_EQ(row.size, table.size);
        }
    }
}

// What the directory is read from: the layout's own place, and only when the
// headers say the directory exists and the bytes read hold it.
TEST(CertificateTable, TheDirectoryIsReadWhereTheLayoutHasIt) {
    struct Row {
        const char* name;
        std::function<void(Layout, Bytes*)> change;
        bool trusted;
    } rows[] = {
        {"as made", [](Layout, Bytes*) {}, true},
        {"written at the other layout's place",
         [](Layout layout, Bytes* bytes) {
             uint32_t other = DirectoryAt(layout == kPe32 ? kPe32Plus : kPe32);
             PutU32(bytes, other, U32At(*bytes, DirectoryAt(layout)));
             PutU32(bytes, other + 4, U32At(*bytes, DirectoryAt(layout) + 4));
             PutU32(bytes, DirectoryAt(layout), 0);
             PutU32(bytes, DirectoryAt(layout) + 4, 0);
         },
         false},
        {"four data directories", [](Layout layout, Bytes* bytes) { PutU32(bytes, CountAt(layout), 4); }, false},
        {"optional header ends inside it",
         [](Layout layout, Bytes* bytes) { PutU16(bytes, kPeOffset + 20, layout == kPe32 ? 132 : 148); }, false},
        {"unknown optional header magic", [](Layout, Bytes* bytes) { PutU16(bytes, kPeOffset + 24, 0x0107); }, false},
        {"no PE signature", [](Layout, Bytes* bytes) { (*bytes)[kPeOffset] = 'X'; }, false},
        {"no MZ", [](Layout, Bytes* bytes) { (*bytes)[0] = 'X'; }, false},
        {"e_lfanew past the bytes read", [](Layout, Bytes* bytes) { PutU32(bytes, 0x3C, 0x1F0); }, false},
        {"bytes read end inside the directory",
         [](Layout layout, Bytes* bytes) { bytes->resize(DirectoryAt(layout) + 7); }, false},
    };
    for (Layout layout : {kPe32, kPe32Plus}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(layout == kPe32 ? "PE32: " : "PE32+: ") + row.name);
            Bytes bytes = MakeHeaders(layout, 5200, 2800);
            row.change(layout, &bytes);
            CertificateTable table;
            EXPECT_EQ(row.trusted, TableOf(bytes, &table));
        }
    }
}

TEST(CertificateTable, TheFirstEntryMustBeAPkcs7SignatureWithinTheTable) {
    struct Row {
        const char* name;
        uint32_t length;
        uint16_t revision, type;
        bool valid;
    } rows[] = {
        {"the whole table", 3000, 0x0200, 2, true},
        {"a head alone", 8, 0x0200, 2, true},
        {"longer than the table", 3001, 0x0200, 2, false},
        {"shorter than its head", 7, 0x0200, 2, false},
        {"revision 1.0", 3000, 0x0100, 2, false},
        {"an X.509 certificate", 3000, 0x0200, 1, false},
        {"zeros", 0, 0, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes head(kCertificateEntryHead);
        PutU32(&head, 0, row.length);
        PutU16(&head, 4, row.revision);
        PutU16(&head, 6, row.type);
        EXPECT_EQ(row.valid, CertificateEntryValid(head.data(), 3000));
    }
}

}  // namespace
