#include "vuvpack/commands/build_command.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "vuvpack/cabinet/cabinet_summary.h"
#include "vuvpack/commands/progress_line.h"
#include "vuvpack/commands/report.h"
#include "vuvpack/commands/stub_lookup.h"
#include "vuvpack/package/folder_cabinet.h"
#include "vuvpack/package/header_text.h"
#include "vuvpack/package/package_layout.h"
#include "vuvpack/system/console_text.h"
#include "vuvpack/system/error_text.h"
#include "vuvpack/system/file_io.h"
#include "vuvpack/system/output_file.h"

static const char kBuildHelp[] =
    "Usage: vuvpack build [--stub STUB | --arch ARCH] (--cab FILE | --dir FOLDER) -o OUT\n"
    "                     [options]\n"
    "\n"
    "Writes OUT: the executable image of STUB, a package header at its image end,\n"
    "and the cabinet right after it. A package given as STUB keeps its image and\n"
    "gets the new header and cabinet.\n"
    "\n"
    "  --stub FILE             the module's executable, or a package built from it;\n"
    "                          without it, the installed stub of --arch\n"
    "  --arch ARCH             x86 (the default): vuvuzu.exe, for 32-bit and 64-bit\n"
    "                          Windows; x64: vuvuzu64.exe, for 64-bit Windows without\n"
    "                          32-bit support. Looked for in ../share/vuvuzu beside\n"
    "                          vuvpack's folder, then beside vuvpack, then above it;\n"
    "                          ignored with --stub\n"
    "  --cab FILE              the cabinet to append, as it is\n"
    "  --dir FOLDER            make a cabinet of every file under FOLDER:\n"
    "                          names relative with backslashes, modification times,\n"
    "                          read-only (no owner write permission) and hidden\n"
    "                          (name starting with '.') attributes; links to files\n"
    "                          inside FOLDER are followed, others refused; so are\n"
    "                          names Windows can't hold (characters it refuses,\n"
    "                          device names, a dot or blank at the end, names equal\n"
    "                          when case is ignored)\n"
    "  -o FILE                 the package to write; it is written beside FILE and\n"
    "                          renamed at the end, so a failed build leaves nothing\n"
    "  --compress METHOD       how --dir's cabinet is compressed: lzx (the default,\n"
    "                          a 2 MB window), lzx:15 ... lzx:21 (a window of 2^N\n"
    "                          bytes), mszip or none\n"
    "  --level LEVEL           how hard LZX works for a small package: fast,\n"
    "                          default or best (a tenth smaller than the default,\n"
    "                          packed 15 to 25 times slower)\n"
    "  --quiet                 no progress line on stderr (there is one only when\n"
    "                          stderr is a terminal)\n"
    "\n"
    "Header settings (text is UTF-8, stored as UTF-16; limits count UTF-16 units):\n"
    "  --destination TEXT      destination folder, at most 259 characters; may start\n"
    "                          with %Desktop%, %MyDocuments%, %ProgramFiles%,\n"
    "                          %SystemDir%, %WinDir% or %temp%\n"
    "  --command TEXT          file of the package to run after extraction, with its\n"
    "                          arguments, at most 127 characters\n"
    "  --overwrite-all         replace existing files and create the destination\n"
    "                          folder without asking\n"
    "  --no-open-folder        don't open the destination folder when done (it is\n"
    "                          opened by default when there is no command)\n"
    "  --delete-after-run      wait for the command, then delete the extracted files\n"
    "                          (ignored without --command)\n"
    "  --no-dialog             don't ask for the destination folder\n"
    "  --confirm-caption TEXT  caption of the question asked before extracting, at\n"
    "                          most 31 characters\n"
    "  --confirm-prompt TEXT   the question asked before extracting, at most 63\n"
    "                          characters; no question when empty\n"
    "  --x64                   the command needs 64-bit Windows (ignored without\n"
    "                          --command); the header's mark, not the stub's\n"
    "                          architecture (see --arch)\n"
    "  --crc                   store the CRC-32 of every byte after the header; the\n"
    "                          module checks it before extracting, up to the\n"
    "                          certificate table when the package has been signed\n"
    "\n"
    "Every package is a multiple of 8 bytes long (zero bytes after the cabinet,\n"
    "covered by the CRC), so that signing it adds no padding of its own.\n"
    "\n"
    "Exit status: 0 built, 1 failed (nothing written), 2 usage error.\n";

struct BuildOptions {
    std::string stub, arch, cab, dir, output, compress, level;
    std::string texts[kHeaderTextFieldCount];
    bool textGiven[kHeaderTextFieldCount] = {};
    bool overwriteAll = false, noOpenFolder = false, deleteAfterRun = false, noDialog = false, crc = false,
         x64 = false, quiet = false;
    CabinetSettings cabinet;
};

static int UsageError(const std::string& text) {
    ReportError(text + " (see vuvpack build --help)");
    return 2;
}

static bool* FlagOption(BuildOptions* options, const std::string& arg) {
    if (arg == "--overwrite-all") return &options->overwriteAll;
    if (arg == "--no-open-folder") return &options->noOpenFolder;
    if (arg == "--delete-after-run") return &options->deleteAfterRun;
    if (arg == "--no-dialog") return &options->noDialog;
    if (arg == "--crc") return &options->crc;
    if (arg == "--x64") return &options->x64;
    if (arg == "--quiet") return &options->quiet;
    return nullptr;
}

static std::string* PathOption(BuildOptions* options, const std::string& arg) {
    if (arg == "--stub") return &options->stub;
    if (arg == "--arch") return &options->arch;
    if (arg == "--cab") return &options->cab;
    if (arg == "--dir") return &options->dir;
    if (arg == "-o") return &options->output;
    if (arg == "--compress") return &options->compress;
    if (arg == "--level") return &options->level;
    return nullptr;
}

static int ParseValue(const std::vector<std::string>& args, size_t* i, std::string* value) {
    const std::string& option = args[*i];
    if (*i + 1 >= args.size()) return UsageError(option + " needs a value");
    *value = args[++*i];
    return 0;
}

// none, mszip, lzx or lzx:15 to lzx:21.
static bool ParseCompression(const std::string& text, CabinetSettings* settings) {
    if (text == "none" || text == "mszip") {
        settings->method = text == "none" ? kCompressNone : kCompressMszip;
        return true;
    }
    if (text.compare(0, 3, "lzx") != 0) return false;
    settings->method = kCompressLzx;
    if (text.size() == 3) return true;
    if (text.size() != 6 || text[3] != ':' || !isdigit((unsigned char)text[4]) || !isdigit((unsigned char)text[5])) {
        return false;
    }
    int bits = (text[4] - '0') * 10 + (text[5] - '0');
    settings->lzx.windowBits = bits;
    return bits >= kLzxMinWindowBits && bits <= kLzxMaxWindowBits;
}

// 0, or the exit status of a usage error (reported).
static int ParseBuildOptions(const std::vector<std::string>& args, BuildOptions* options) {
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& arg = args[i];
        if (bool* flag = FlagOption(options, arg)) {
            *flag = true;
            continue;
        }
        if (std::string* path = PathOption(options, arg)) {
            if (!path->empty()) return UsageError(arg + " given twice");
            if (int status = ParseValue(args, &i, path)) return status;
            if (path->empty()) return UsageError(arg + " needs a non-empty value");
            continue;
        }
        int field = 0;
        while (field < kHeaderTextFieldCount && arg != kHeaderTextFields[field].option) field++;
        if (field == kHeaderTextFieldCount) return UsageError("unknown option " + arg);
        if (options->textGiven[field]) return UsageError(arg + " given twice");
        options->textGiven[field] = true;
        if (int status = ParseValue(args, &i, &options->texts[field])) return status;
    }
    if (!options->arch.empty() && !FindStubArch(options->arch)) return UsageError("--arch takes x86 or x64");
    if (options->output.empty()) return UsageError("-o is missing");
    if (options->cab.empty() == options->dir.empty()) return UsageError("give one of --cab and --dir");
    if (!options->compress.empty()) {
        if (options->dir.empty()) return UsageError("--compress goes with --dir; --cab is appended as it is");
        if (!ParseCompression(options->compress, &options->cabinet)) {
            return UsageError("--compress takes none, mszip, lzx or lzx:15 to lzx:21");
        }
    }
    if (!options->level.empty()) {
        if (options->dir.empty()) return UsageError("--level goes with --dir; --cab is appended as it is");
        static const char* const kLevels[] = {"fast", "default", "best"};
        int level = 0;
        while (level < 3 && options->level != kLevels[level]) level++;
        if (level == 3) return UsageError("--level takes fast, default or best");
        options->cabinet.lzx.level = (LzxLevel)level;
    }
    return 0;
}

// 0, or the exit status of a usage error (reported).
static int MakeHeader(const BuildOptions& options, PackageHeader* header) {
    *header = NewPackageHeader();
    for (int field = 0; field < kHeaderTextFieldCount; field++) {
        std::string problem = PutHeaderText(header, kHeaderTextFields[field], options.texts[field]);
        if (!problem.empty()) return UsageError(std::string(kHeaderTextFields[field].option) + ": " + problem);
    }
    if (options.texts[kCommandField].empty()) {
        if (options.deleteAfterRun) ReportWarning("--delete-after-run without --command: the module ignores it");
        if (options.x64) ReportWarning("--x64 without --command: the module ignores it");
    }
    header->variant = options.x64 ? kVariantX64 : kVariantPlain;
    header->OverwriteAll = options.overwriteAll;
    header->OpenFolderWhenDone = !options.noOpenFolder;
    header->DeleteAfterRun = options.deleteAfterRun;
    header->SkipDestinationDialog = options.noDialog;
    return 0;
}

// The cabinet to append: a mapped --cab file or one made in memory.
struct Payload {
    const uint8_t* data = nullptr;
    size_t size = 0;
    MappedFile mapped = MappedFile();
    std::vector<uint8_t> bytes;
};

static void ReleasePayload(Payload* payload) {
    UnmapWholeFile(&payload->mapped);
    *payload = Payload();
}

static bool MapCabinet(const std::string& path, Payload* payload, std::string* error) {
    if (!MapWholeFile(path, &payload->mapped)) {
        *error = path + ": " + (errno == EINVAL ? "not a cabinet file" : ErrnoText());
        return false;
    }
    if (payload->mapped.size < sizeof kCabinetSignature || payload->mapped.size > SIZE_MAX) {
        *error = path + ": not a cabinet file";
        return false;
    }
    payload->data = payload->mapped.data;
    payload->size = (size_t)payload->mapped.size;
    return true;
}

static bool ReadCabinet(const std::string& path, Payload* payload, std::string* error) {
    if (!MapCabinet(path, payload, error)) return false;
    if (memcmp(payload->data, kCabinetSignature, sizeof kCabinetSignature) != 0) {
        *error = path + ": not a cabinet (it doesn't start with the MSCF signature)";
        return false;
    }
    CabinetSummary summary;
    std::string problem;
    if (!SummarizeCabinet(path, 0, &summary, &problem)) {
        *error = path + ": not a readable cabinet (" + problem + ")";
        return false;
    }
    return true;
}

static void ShowBuildProgress(void* context, uint64_t bytesDone, size_t filesStarted) {
    ShowProgress(static_cast<ProgressLine*>(context), bytesDone, filesStarted);
}

static bool MakeFolderCabinet(const BuildOptions& options, Payload* payload, std::string* error) {
    std::vector<FolderFile> files;
    if (!ScanFolder(options.dir, &files, error)) return false;
    std::vector<std::string> nameProblems = FolderNameProblems(options.dir, files);
    if (!nameProblems.empty()) {
        for (const std::string& problem : nameProblems) ReportError(problem);
        *error = options.dir + ": " + std::to_string(nameProblems.size()) +
                 (nameProblems.size() == 1 ? " file has a name" : " files have names") +
                 " that Windows can't hold as they are; rename them";
        return false;
    }
    uint64_t totalBytes = 0;
    for (const FolderFile& file : files) totalBytes += file.size;
    ProgressLine progress;
    StartProgress(&progress, options.quiet, totalBytes, files.size());
    std::vector<std::string> warnings;
    bool ok = WriteFolderCabinet(files, options.cabinet, ShowBuildProgress, &progress, &payload->bytes, &warnings,
                                 error);
    EndProgress(&progress);
    for (const std::string& warning : warnings) ReportWarning(warning);
    if (!ok) {
        *error = options.dir + ": " + *error;
        return false;
    }
    payload->data = payload->bytes.data();
    payload->size = payload->bytes.size();
    return true;
}

// The module takes the first signature in the file for the cabinet: none
// may come before it, in the image, the header or the padding.
static bool CheckSignaturePlace(const std::string& stub, size_t imageEnd, const std::vector<uint8_t>& prefix,
                                std::string* error) {
    int64_t first = FindCabinetSignature(prefix.data(), prefix.size());
    if (first == (int64_t)(prefix.size() - sizeof kCabinetSignature)) return true;
    if (first < (int64_t)imageEnd) {
        *error = stub + ": its image holds the cabinet signature at offset " + std::to_string(first) +
                 "; the module would take that for the cabinet";
    } else {
        *error = "the header texts form the cabinet signature at offset " + std::to_string(first) +
                 "; the module would take that for the cabinet";
    }
    return false;
}

static bool WritePackage(const BuildOptions& options, const StubImage& image, PackageHeader* header,
                         const Payload& payload, std::string* error) {
    uint64_t headerEnd = image.bytes.size() + (uint64_t)kHeaderSize;
    std::vector<uint8_t> padding(PaddingBeforeCabinet(headerEnd), 0);
    std::vector<uint8_t> tail(PaddingAfterCabinet(headerEnd + padding.size() + payload.size), 0);
    // The size of the cabinet as written: a made one may come out larger
    // than its files.
    if (payload.size > kMaxCabinetBytes) {
        *error = options.output + ": the cabinet has " + std::to_string(payload.size) +
                 " bytes; the module reads cabinets of at most " + std::to_string(kMaxCabinetBytes) +
                 " bytes (the cabinet library's offsets are 32-bit signed)";
        return false;
    }
    if (options.crc) {
        CrcRun run;
        CrcStart(&run);
        CrcAdd(&run, padding.data(), padding.size());
        CrcAdd(&run, payload.data, payload.size);
        CrcAdd(&run, tail.data(), tail.size());
        header->PackageCrc = CrcValue(run);
    }
    std::vector<uint8_t> prefix(image.bytes);
    const uint8_t* headerBytes = reinterpret_cast<const uint8_t*>(header);
    prefix.insert(prefix.end(), headerBytes, headerBytes + kHeaderSize);
    prefix.insert(prefix.end(), padding.begin(), padding.end());
    prefix.insert(prefix.end(), payload.data, payload.data + sizeof kCabinetSignature);
    if (!CheckSignaturePlace(options.stub, image.bytes.size(), prefix, error)) return false;

    OutputFile output;
    if (!OpenOutput(options.output, &output, error)) return false;
    bool ok = WriteOutput(&output, prefix.data(), prefix.size() - sizeof kCabinetSignature, error) &&
              WriteOutput(&output, payload.data, payload.size, error) &&
              WriteOutput(&output, tail.data(), tail.size(), error) && CommitOutput(&output, error);
    if (!ok) DiscardOutput(&output);
    return ok;
}

static bool Build(const BuildOptions& options, PackageHeader* header) {
    std::string error;
    if (SameFile(options.output, options.stub) || (!options.cab.empty() && SameFile(options.output, options.cab))) {
        ReportError(options.output + ": is an input of this build; write the package elsewhere");
        return false;
    }
    StubImage image;
    if (!ReadStubImage(options.stub, &image, &error)) {
        ReportError(options.stub + ": " + error);
        return false;
    }
    // A certificate table is never carried over: the package is another file.
    bool signedStub = ClearCertificateEntry(&image.bytes);
    const char* cleared = "its entry in the security directory and the image checksum are cleared (sign the package)";
    if (image.fileSize > image.bytes.size() && !image.endsInPackage) {
        ReportWarning(options.stub + ": the " + std::to_string(image.fileSize - image.bytes.size()) +
                      " bytes after its image are not a package and are left out" +
                      (signedStub ? std::string("; they hold its certificate table: ") + cleared : ""));
    } else if (signedStub) {
        ReportWarning(options.stub + ": its certificate table is left out: " + cleared);
    }
    Payload payload;
    bool ok = options.cab.empty() ? MakeFolderCabinet(options, &payload, &error)
                                  : ReadCabinet(options.cab, &payload, &error);
    ok = ok && WritePackage(options, image, header, payload, &error);
    if (!ok) ReportError(error);
    ReleasePayload(&payload);
    return ok;
}

// The stub named with --stub, else the installed one of --arch.
static bool ChooseStub(BuildOptions* options) {
    if (!options->stub.empty()) return true;
    const StubArch* arch = options->arch.empty() ? &kStubArches[0] : FindStubArch(options->arch);
    std::string problem;
    if (FindStub(*arch, &options->stub, &problem)) return true;
    ReportError(problem);
    return false;
}

int RunBuild(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            WriteText(stdout, kBuildHelp);
            return 0;
        }
    }
    BuildOptions options;
    if (int status = ParseBuildOptions(args, &options)) return status;
    PackageHeader header;
    if (int status = MakeHeader(options, &header)) return status;
    if (!ChooseStub(&options)) return 1;
    return Build(options, &header) ? 0 : 1;
}
