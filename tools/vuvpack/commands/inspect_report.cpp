#include "vuvpack/commands/inspect_report.h"

#include <stdio.h>
#include <string.h>

#include "vuvpack/package/header_text.h"

std::string Hex32(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

static std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04X", c);
            out += escape;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

static const char* KindName(const Inspection& inspection) {
    switch (inspection.headerState) {
    case kValidHeader: return "package";
    case kNothingAppended:
    case kNoHeader: return "executable without package";
    case kNoImage: break;
    }
    return inspection.cabinetOffset == 0 ? "cabinet" : "unknown";
}

// Which of the two modules the image is, by its processor.
static std::string StubName(uint16_t machine) {
    switch (machine) {
    case 0x014C: return "vuvuzu.exe (32-bit, i386)";
    case 0x8664: return "vuvuzu64.exe (64-bit, x86-64)";
    }
    return "unknown (machine " + Hex32(machine) + ")";
}

static const char* CrcStateName(CrcState state) {
    switch (state) {
    case kCrcOk: return "ok";
    case kCrcMismatch: return "mismatch";
    case kCrcNone: break;
    }
    return "none";
}

struct IntField {
    const char* name;
    int32_t value;
};

// The module ignores these two without a command.
static bool IgnoredWithoutCommand(const PackageHeader& header, const char* name) {
    if (!GetHeaderText(header, kHeaderTextFields[kCommandField]).empty()) return false;
    return (strcmp(name, "DeleteAfterRun") == 0 && header.DeleteAfterRun != 0) ||
           (strcmp(name, "variant") == 0 && header.variant == kVariantX64);
}

static std::vector<IntField> IntFields(const PackageHeader& header) {
    return {{"OverwriteAll", header.OverwriteAll},
            {"OpenFolderWhenDone", header.OpenFolderWhenDone},
            {"DeleteAfterRun", header.DeleteAfterRun},
            {"SkipDestinationDialog", header.SkipDestinationDialog}};
}

static std::string Counted(uint64_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

static std::string CabinetLine(const CabinetSummary& cabinet) {
    std::string kinds;
    for (const std::string& kind : cabinet.compression) kinds += (kinds.empty() ? "" : "+") + kind;
    return Counted(cabinet.files, "file") + ", " + Counted(cabinet.totalBytes, "byte") + ", " +
           Counted(cabinet.folders, "folder") + ", " + (kinds.empty() ? "no data" : kinds) + ", " +
           Counted(cabinet.size, "byte") + " in the file";
}

static std::string FolderLine(const CabinetFolderSummary& folder) {
    std::string line = folder.method;
    if (folder.windowBits != 0) line += ", window 2^" + std::to_string(folder.windowBits) + " bytes";
    return line + ", " + Counted(folder.dataBlocks, "data block");
}

static std::string TextLine(const PackageHeader& header, int field) {
    return "  " + std::string(kHeaderTextFields[field].name) + ": " +
           Quoted(GetHeaderText(header, kHeaderTextFields[field])) + "\n";
}

// The fields in header order.
static std::string HeaderText(const PackageHeader& header) {
    const char* ignored = " (ignored: no command)";
    std::string out = "header:\n  variant: '" + std::string(1, header.variant) + "'" +
                      (IgnoredWithoutCommand(header, "variant") ? ignored : "") + "\n";
    out += TextLine(header, kDestinationField) + TextLine(header, kCommandField);
    for (const IntField& flag : IntFields(header)) {
        out += "  " + std::string(flag.name) + ": " + std::to_string(flag.value) +
               (IgnoredWithoutCommand(header, flag.name) ? ignored : "") + "\n";
    }
    out += "  PackageCrc: " + Hex32(header.PackageCrc) + "\n";
    return out + TextLine(header, kCaptionField) + TextLine(header, kPromptField);
}

std::string InspectionText(const std::string& path, const Inspection& inspection) {
    std::string out = "file: " + path + " (" + std::to_string(inspection.fileSize) + " bytes)\n";
    out += "kind: " + std::string(KindName(inspection)) + "\n";
    if (inspection.imageEnd != 0) {
        out += "stub: " + StubName(inspection.machine) + "\n";
        out += "image end: " + std::to_string(inspection.imageEnd) + "\n";
    }
    if (inspection.headerState == kValidHeader) out += HeaderText(inspection.header);
    out += "cabinet offset: " + std::to_string(inspection.cabinetOffset) + "\n";
    if (inspection.cabinetRead) {
        out += "cabinet: " + CabinetLine(inspection.cabinet) + "\n";
        for (size_t i = 0; i < inspection.cabinet.folderList.size(); i++) {
            out += "cabinet folder " + std::to_string(i) + ": " + FolderLine(inspection.cabinet.folderList[i]) + "\n";
        }
    }
    if (inspection.signedPackage) {
        out += "certificate table: offset " + std::to_string(inspection.certificateTable.offset) + ", " +
               Counted(inspection.certificateTable.size, "byte") + " (not covered by the CRC)\n";
    }
    out += "crc: " + std::string(CrcStateName(inspection.crcState));
    if (inspection.crcState == kCrcOk) out += " (" + Hex32(inspection.crcComputed) + ")";
    if (inspection.crcState == kCrcMismatch) {
        out += ": stored " + Hex32(inspection.header.PackageCrc) + ", computed " + Hex32(inspection.crcComputed);
    }
    out += "\n";
    for (const std::string& problem : inspection.problems) out += "problem: " + problem + "\n";
    out += std::string("status: ") + (inspection.problems.empty() ? "sound" : "not sound") + "\n";
    return out;
}

static std::string HeaderJson(const PackageHeader& header, uint32_t offset) {
    std::string out = "{\"offset\": " + std::to_string(offset) + ", \"variant\": " +
                      Quoted(std::string(1, header.variant));
    for (const HeaderTextField& field : kHeaderTextFields) {
        out += ", \"" + std::string(field.name) + "\": " + Quoted(GetHeaderText(header, field));
    }
    for (const IntField& flag : IntFields(header)) {
        out += ", \"" + std::string(flag.name) + "\": " + std::to_string(flag.value);
    }
    return out + ", \"PackageCrc\": " + std::to_string(header.PackageCrc) + "}";
}

static std::string CabinetJson(const CabinetSummary& cabinet) {
    std::string kinds;
    for (const std::string& kind : cabinet.compression) kinds += (kinds.empty() ? "" : ", ") + Quoted(kind);
    std::string folders;
    for (const CabinetFolderSummary& folder : cabinet.folderList) {
        folders += std::string(folders.empty() ? "" : ", ") + "{\"method\": " + Quoted(folder.method) +
                   ", \"windowBits\": " + (folder.windowBits ? std::to_string(folder.windowBits) : "null") +
                   ", \"dataBlocks\": " + std::to_string(folder.dataBlocks) + "}";
    }
    return "{\"size\": " + std::to_string(cabinet.size) + ", \"folders\": " + std::to_string(cabinet.folders) +
           ", \"files\": " + std::to_string(cabinet.files) + ", \"totalSize\": " +
           std::to_string(cabinet.totalBytes) + ", \"compression\": [" + kinds + "], \"folderList\": [" + folders +
           "]}";
}

std::string InspectionJson(const std::string& path, const Inspection& inspection) {
    std::string out = "{\"file\": " + Quoted(path) + ", \"size\": " + std::to_string(inspection.fileSize) +
                      ", \"kind\": " + Quoted(KindName(inspection)) + ", \"stub\": " +
                      (inspection.imageEnd != 0 ? Quoted(StubName(inspection.machine)) : "null") +
                      ", \"imageEnd\": " + std::to_string(inspection.imageEnd);
    out += ", \"header\": " +
           (inspection.headerState == kValidHeader ? HeaderJson(inspection.header, inspection.imageEnd) : "null");
    out += ", \"cabinetOffset\": " + std::to_string(inspection.cabinetOffset);
    out += ", \"cabinet\": " + (inspection.cabinetRead ? CabinetJson(inspection.cabinet) : "null");
    out += ", \"certificateTable\": ";
    out += inspection.signedPackage ? "{\"offset\": " + std::to_string(inspection.certificateTable.offset) +
                                          ", \"size\": " + std::to_string(inspection.certificateTable.size) + "}"
                                    : "null";
    out += ", \"crc\": {\"status\": " + Quoted(CrcStateName(inspection.crcState));
    if (inspection.crcState != kCrcNone) {
        out += ", \"stored\": " + std::to_string(inspection.header.PackageCrc) + ", \"computed\": " +
               std::to_string(inspection.crcComputed);
    }
    out += "}, \"problems\": [";
    for (size_t i = 0; i < inspection.problems.size(); i++) out += (i ? ", " : "") + Quoted(inspection.problems[i]);
    return out + "], \"sound\": " + (inspection.problems.empty() ? "true" : "false") + "}\n";
}

