#include "vuvpack/commands/inspect_command.h"

#include <stdio.h>
#include <string.h>

#include "base/image_end.h"
#include "vuvpack/commands/inspect_report.h"
#include "vuvpack/commands/report.h"
#include "vuvpack/package/package_layout.h"
#include "vuvpack/package/windows_names.h"
#include "vuvpack/system/console_text.h"
#include "vuvpack/system/error_text.h"
#include "vuvpack/system/file_io.h"
#include "vuvpack/system/utf_text.h"

static const char kInspectHelp[] =
    "Usage: vuvpack inspect PACKAGE [--json]\n"
    "\n"
    "Describes PACKAGE as the module reads it: where its image ends, the package\n"
    "header there (text fields decoded), the offset of the first cabinet\n"
    "signature in the file, a summary of the cabinet (files, total size,\n"
    "compression), the certificate table of a signed package (offset and size),\n"
    "and the CRC: none, ok, or mismatch with both values. As in the module, the\n"
    "CRC covers every byte after the header up to the certificate table, or to\n"
    "the end of the file when there is none.\n"
    "A plain cabinet file is described as such.\n"
    "\n"
    "  --json   print the description as one JSON object\n"
    "\n"
    "Names in the cabinet that Windows can't hold as they are (characters it\n"
    "refuses, device names, a dot or blank at the end, names equal when case is\n"
    "ignored) are listed as problems.\n"
    "\n"
    "Exit status: 0 the package is sound, 1 it is not (no header, CRC mismatch,\n"
    "no readable cabinet where the module looks, names Windows can't hold) or\n"
    "can't be read, 2 usage error.\n";

// Reads the file once: finds the first signature and folds the bytes of
// [crcStart, crcEnd) into *run (none when crcStart is 0).
static bool ScanPackageFile(FILE* file, uint64_t crcStart, uint64_t crcEnd, CrcRun* run, Inspection* inspection) {
    const size_t kBlock = 1 << 20, kCarry = sizeof kCabinetSignature - 1;
    std::vector<uint8_t> buffer(kCarry + kBlock);
    uint64_t offset = 0;  // file offset of buffer[kCarry]
    size_t carried = 0;
    if (!SeekTo(file, 0)) return false;
    for (;;) {
        size_t count = fread(buffer.data() + kCarry, 1, kBlock, file);
        if (count == 0) break;
        if (inspection->cabinetOffset < 0) {
            const uint8_t* from = buffer.data() + kCarry - carried;
            int64_t found = FindCabinetSignature(from, carried + count);
            if (found >= 0) inspection->cabinetOffset = (int64_t)(offset - carried) + found;
        }
        uint64_t from = offset > crcStart ? offset : crcStart;
        uint64_t until = offset + count < crcEnd ? offset + count : crcEnd;
        if (crcStart > 0 && from < until) CrcAdd(run, buffer.data() + kCarry + (from - offset), (size_t)(until - from));
        carried = count < kCarry ? count : kCarry;
        memmove(buffer.data() + kCarry - carried, buffer.data() + kCarry + count - carried, carried);
        offset += count;
    }
    return !ferror(file);
}

// The machine field of the PE header that ImageEndFromBytes found.
static uint16_t ImageMachine(const uint8_t* probe, size_t count) {
    if (count < 0x40) return 0;
    uint32_t peOffset;
    memcpy(&peOffset, probe + 0x3C, sizeof peOffset);
    if (peOffset > count - 6) return 0;
    uint16_t machine;
    memcpy(&machine, probe + peOffset + 4, sizeof machine);
    return machine;
}

// The last bytes of the checked range, folded one at a time: a package
// built unpadded and then signed has the signer's zero bytes there.
struct CrcTail {
    uint8_t bytes[kSignedAlignment - 1];
    size_t count;
    uint32_t values[kSignedAlignment];  // values[i]: the CRC without the range's last i bytes
};

static bool FoldTail(FILE* file, uint64_t tailStart, CrcRun* run, CrcTail* tail) {
    if (tail->count > 0 && (!SeekTo(file, tailStart) ||
                            fread(tail->bytes, 1, tail->count, file) != tail->count))
        return false;
    tail->values[tail->count] = CrcValue(*run);
    for (size_t i = 0; i < tail->count; i++) {
        CrcAdd(run, tail->bytes + i, 1);
        tail->values[tail->count - 1 - i] = CrcValue(*run);
    }
    return true;
}

// Zero bytes at the range's end without which the stored CRC matches.
static uint32_t SignerPadding(const CrcTail& tail, uint32_t stored) {
    for (size_t zeros = 1; zeros <= tail.count && tail.bytes[tail.count - zeros] == 0; zeros++) {
        if (tail.values[zeros] == stored) return (uint32_t)zeros;
    }
    return 0;
}

// The table the module stops its CRC at, judged as the module judges it.
static void ReadCertificateTable(FILE* file, const uint8_t* probe, size_t probeCount, Inspection* inspection) {
    uint64_t headerEnd = inspection->imageEnd + (uint64_t)kHeaderSize;
    CertificateTable table;
    if (!CertificateTableFromBytes(probe, probeCount, headerEnd, inspection->fileSize, &table)) return;
    uint8_t head[kCertificateEntryHead];
    if (!SeekTo(file, table.offset) || fread(head, 1, sizeof head, file) != sizeof head) return;
    if (!CertificateEntryValid(head, table.size)) return;
    inspection->signedPackage = true;
    inspection->certificateTable = table;
}

static void ReadHeader(FILE* file, Inspection* inspection) {
    uint8_t probe[kImageProbeBytes];
    size_t probeCount = fread(probe, 1, sizeof probe, file);
    inspection->imageEnd = ImageEndFromBytes(probe, probeCount);
    if (inspection->imageEnd != 0) inspection->machine = ImageMachine(probe, probeCount);
    if (inspection->imageEnd == 0) {
        inspection->headerState = kNoImage;
    } else if (inspection->fileSize <= inspection->imageEnd + (uint64_t)kHeaderSize) {
        inspection->headerState = kNothingAppended;
    } else {
        bool read = SeekTo(file, inspection->imageEnd) &&
                    fread(&inspection->header, 1, kHeaderSize, file) == kHeaderSize;
        inspection->headerState = read && HeaderMagicValid(inspection->header) ? kValidHeader : kNoHeader;
    }
    if (inspection->headerState == kValidHeader) ReadCertificateTable(file, probe, probeCount, inspection);
}

static void AddHeaderProblem(Inspection* inspection) {
    std::string at = std::to_string(inspection->imageEnd);
    switch (inspection->headerState) {
    case kValidHeader: return;
    case kNothingAppended:
        inspection->problems.push_back(
            inspection->fileSize == inspection->imageEnd
                ? "nothing is appended to the image (it ends at " + at + ")"
                : "too short for a package header after the image (it ends at " + at + ", the file at " +
                      std::to_string(inspection->fileSize) + ")");
        return;
    case kNoHeader: inspection->problems.push_back("no package header at the image end (" + at + ")"); return;
    case kNoImage: break;
    }
    if (inspection->cabinetOffset == 0) {
        inspection->problems.push_back("a plain cabinet file, with no package header");
    } else {
        inspection->problems.push_back("not a PE image whose end can be found, so no package header");
    }
}

static void AddCabinetProblems(const std::string& path, Inspection* inspection) {
    if (inspection->cabinetOffset < 0) {
        inspection->problems.push_back("no cabinet signature in the file");
        return;
    }
    uint64_t headerEnd = inspection->imageEnd + (uint64_t)kHeaderSize;
    if (inspection->headerState == kValidHeader && (uint64_t)inspection->cabinetOffset < headerEnd) {
        inspection->problems.push_back("the first cabinet signature (" + std::to_string(inspection->cabinetOffset) +
                                       ") lies before the end of the header (" + std::to_string(headerEnd) +
                                       "); the module would read the cabinet there");
    }
    std::string problem;
    inspection->cabinetRead = SummarizeCabinet(path, (uint64_t)inspection->cabinetOffset, &inspection->cabinet, &problem);
    if (!inspection->cabinetRead) {
        inspection->problems.push_back("the cabinet at " + std::to_string(inspection->cabinetOffset) +
                                       " can't be read (" + problem + ")");
    }
}

// A name that is not UTF-8 is read as Latin-1: the module reads it in the
// system's ANSI code page, whose letters and signs below 0x80 are ASCII's.
static std::u16string StoredNameText(const std::string& stored) {
    std::u16string text;
    if (Utf8ToUtf16(stored, &text)) return text;
    text.clear();
    for (unsigned char c : stored) text += (char16_t)c;
    return text;
}

static void AddNameProblems(Inspection* inspection) {
    if (!inspection->cabinetRead) return;
    std::vector<NamedFile> named;
    for (const std::string& stored : inspection->cabinet.fileNames) {
        std::u16string name = StoredNameText(stored);
        named.push_back(NamedFile{name, Utf16ToUtf8(name)});
    }
    for (const NameProblem& found : WindowsNameProblems(named)) {
        inspection->problems.push_back("the file " + named[found.index].shown + ": " + found.problem);
    }
}

static void AddCrcProblem(Inspection* inspection) {
    if (inspection->crcState != kCrcMismatch) return;
    if (inspection->signerPadding == 0) {
        inspection->problems.push_back("CRC mismatch: stored " + Hex32(inspection->header.PackageCrc) + ", computed " +
                                       Hex32(inspection->crcComputed));
        return;
    }
    inspection->problems.push_back(
        "CRC mismatch: signing padded the package with " + std::to_string(inspection->signerPadding) +
        " zero bytes before its certificate table, which the stored CRC does not cover (it matches without them) "
        "but the module checks; build the package again with this vuvpack, whose packages need no padding, and "
        "sign it again");
}

bool InspectPackage(const std::string& path, Inspection* inspection, std::string* error) {
    *inspection = Inspection();
    FILE* file = OpenForReading(path);
    if (!file) {
        *error = ErrnoText();
        return false;
    }
    if (!RegularFileSize(file, &inspection->fileSize)) {
        *error = "not a regular file";
        fclose(file);
        return false;
    }
    ReadHeader(file, inspection);
    bool withCrc = inspection->headerState == kValidHeader && inspection->header.PackageCrc != 0;
    uint64_t crcStart = withCrc ? inspection->imageEnd + (uint64_t)kHeaderSize : 0;
    uint64_t crcEnd = inspection->signedPackage ? inspection->certificateTable.offset : inspection->fileSize;
    CrcTail tail = {};
    uint64_t covered = withCrc ? crcEnd - crcStart : 0;
    tail.count = covered < sizeof tail.bytes ? (size_t)covered : sizeof tail.bytes;
    CrcRun run;
    CrcStart(&run);
    bool scanned = ScanPackageFile(file, crcStart, crcEnd - tail.count, &run, inspection) &&
                   FoldTail(file, crcEnd - tail.count, &run, &tail);
    fclose(file);
    if (!scanned) {
        *error = "can't be read";
        return false;
    }
    inspection->crcComputed = tail.values[0];
    if (withCrc) inspection->crcState = inspection->crcComputed == inspection->header.PackageCrc ? kCrcOk : kCrcMismatch;
    if (inspection->crcState == kCrcMismatch && inspection->signedPackage)
        inspection->signerPadding = SignerPadding(tail, inspection->header.PackageCrc);
    AddHeaderProblem(inspection);
    AddCabinetProblems(path, inspection);
    AddNameProblems(inspection);
    AddCrcProblem(inspection);
    return true;
}

int RunInspect(const std::vector<std::string>& args) {
    std::string path;
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            WriteText(stdout, kInspectHelp);
            return 0;
        }
        if (arg == "--json") {
            json = true;
        } else if (!arg.empty() && arg[0] == '-') {
            ReportError("unknown option " + arg + " (see vuvpack inspect --help)");
            return 2;
        } else if (!path.empty()) {
            ReportError("inspect takes one package (see vuvpack inspect --help)");
            return 2;
        } else {
            path = arg;
        }
    }
    if (path.empty()) {
        ReportError("inspect needs a package (see vuvpack inspect --help)");
        return 2;
    }
    Inspection inspection;
    std::string error;
    if (!InspectPackage(path, &inspection, &error)) {
        ReportError(path + ": " + error);
        return 1;
    }
    WriteText(stdout, json ? InspectionJson(path, inspection) : InspectionText(path, inspection));
    for (const std::string& problem : inspection.problems) ReportError(path + ": " + problem);
    return inspection.problems.empty() ? 0 : 1;
}
