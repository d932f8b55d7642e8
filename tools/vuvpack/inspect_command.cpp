#include "inspect_command.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "app/image_end.h"
#include "inspect_report.h"
#include "package_layout.h"
#include "report.h"

static const char kInspectHelp[] =
    "Usage: vuvpack inspect PACKAGE [--json]\n"
    "\n"
    "Describes PACKAGE as the module reads it: where its image ends, the package\n"
    "header there (text fields decoded), the offset of the first cabinet\n"
    "signature in the file, a summary of the cabinet (files, total size,\n"
    "compression), and the CRC: none, ok, or mismatch with both values.\n"
    "A plain cabinet file is described as such.\n"
    "\n"
    "  --json   print the description as one JSON object\n"
    "\n"
    "Exit status: 0 the package is sound, 1 it is not (no header, CRC mismatch,\n"
    "no readable cabinet where the module looks) or can't be read, 2 usage error.\n";

// Reads the file once: finds the first signature and folds the CRC over
// everything from crcStart on (when crcStart is non-zero).
static bool ScanPackageFile(FILE* file, uint64_t crcStart, Inspection* inspection) {
    const size_t kBlock = 1 << 20, kCarry = sizeof kCabinetSignature - 1;
    std::vector<uint8_t> buffer(kCarry + kBlock);
    CrcRun run;
    CrcStart(&run);
    uint64_t offset = 0;  // file offset of buffer[kCarry]
    size_t carried = 0;
    if (fseeko(file, 0, SEEK_SET) != 0) return false;
    for (;;) {
        size_t count = fread(buffer.data() + kCarry, 1, kBlock, file);
        if (count == 0) break;
        if (inspection->cabinetOffset < 0) {
            const uint8_t* from = buffer.data() + kCarry - carried;
            int64_t found = FindCabinetSignature(from, carried + count);
            if (found >= 0) inspection->cabinetOffset = (int64_t)(offset - carried) + found;
        }
        if (crcStart > 0 && offset + count > crcStart) {
            size_t skip = offset >= crcStart ? 0 : (size_t)(crcStart - offset);
            CrcAdd(&run, buffer.data() + kCarry + skip, count - skip);
        }
        carried = count < kCarry ? count : kCarry;
        memmove(buffer.data() + kCarry - carried, buffer.data() + kCarry + count - carried, carried);
        offset += count;
    }
    inspection->crcComputed = CrcValue(run);
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
        bool read = fseeko(file, inspection->imageEnd, SEEK_SET) == 0 &&
                    fread(&inspection->header, 1, kHeaderSize, file) == kHeaderSize;
        inspection->headerState = read && HeaderMagicValid(inspection->header) ? kValidHeader : kNoHeader;
    }
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

bool InspectPackage(const std::string& path, Inspection* inspection, std::string* error) {
    *inspection = Inspection();
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) {
        *error = ErrnoText();
        return false;
    }
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = "not a regular file";
        fclose(file);
        return false;
    }
    inspection->fileSize = (uint64_t)info.st_size;
    ReadHeader(file, inspection);
    bool withCrc = inspection->headerState == kValidHeader && inspection->header.PackageCrc != 0;
    bool scanned = ScanPackageFile(file, withCrc ? inspection->imageEnd + (uint64_t)kHeaderSize : 0, inspection);
    fclose(file);
    if (!scanned) {
        *error = "can't be read";
        return false;
    }
    if (withCrc) inspection->crcState = inspection->crcComputed == inspection->header.PackageCrc ? kCrcOk : kCrcMismatch;
    AddHeaderProblem(inspection);
    AddCabinetProblems(path, inspection);
    if (inspection->crcState == kCrcMismatch) {
        inspection->problems.push_back("CRC mismatch: stored " + Hex32(inspection->header.PackageCrc) + ", computed " +
                                       Hex32(inspection->crcComputed));
    }
    return true;
}

int RunInspect(const std::vector<std::string>& args) {
    std::string path;
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            fputs(kInspectHelp, stdout);
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
    fputs((json ? InspectionJson(path, inspection) : InspectionText(path, inspection)).c_str(), stdout);
    for (const std::string& problem : inspection.problems) ReportError(path + ": " + problem);
    return inspection.problems.empty() ? 0 : 1;
}
