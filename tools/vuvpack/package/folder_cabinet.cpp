#include "vuvpack/package/folder_cabinet.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "vuvpack/package/windows_names.h"
#include "vuvpack/system/error_text.h"
#include "vuvpack/system/file_info.h"
#include "vuvpack/system/file_io.h"
#include "vuvpack/system/folder_walk.h"
#include "vuvpack/system/local_time.h"
#include "vuvpack/system/utf_text.h"

std::string FolderTotalsProblem(uint64_t fileCount) {
    if (fileCount == 0) return "holds no file; a cabinet needs at least one";
    if (fileCount > kMaxCabinetFiles) {
        return "holds " + std::to_string(fileCount) + " files; a cabinet holds at most " +
               std::to_string(kMaxCabinetFiles);
    }
    return std::string();
}

struct FolderScan {
    std::string realRoot;  // canonical root, ending in the separator
    std::vector<FolderFile>* files;
    std::string* error;
};

static bool Fail(FolderScan* scan, const std::string& path, const std::string& problem) {
    *scan->error = path + ": " + problem;
    return false;
}

static std::string StoredNameProblem(const std::string& name) {
    std::u16string wide;
    if (!Utf8ToUtf16(name, &wide)) return "its name is not valid UTF-8";
    if (name.find('\\') != std::string::npos) return "its name holds a backslash, the cabinet's folder separator";
    if (name.size() > kMaxStoredNameBytes) {
        return "its stored name has " + std::to_string(name.size()) + " bytes; a cabinet holds at most " +
               std::to_string(kMaxStoredNameBytes);
    }
    return std::string();
}

// A link is followed when it leads to a regular file inside the folder.
static bool ResolveLink(FolderScan* scan, const std::string& path, std::string* target) {
    if (!RealPath(path, target)) return Fail(scan, path, "a link that leads nowhere (" + ErrnoText() + ")");
    if (target->compare(0, scan->realRoot.size(), scan->realRoot) != 0) {
        return Fail(scan, path, "a link outside the folder (to " + *target + ")");
    }
    return true;
}

// The cabinet's bits for a file's read-only, hidden, system and archive
// attributes.
static uint32_t CabinetAttributes(uint32_t fileAttributes) {
    uint32_t attributes = 0;
    if (fileAttributes & kFileReadOnly) attributes |= kAttributeReadOnly;
    if (fileAttributes & kFileHidden) attributes |= kAttributeHidden;
    if (fileAttributes & kFileSystem) attributes |= kAttributeSystem;
    if (fileAttributes & kFileArchive) attributes |= kAttributeArchive;
    return attributes;
}

static bool AddFile(FolderScan* scan, const std::string& path, const std::string& name, const EntryInfo& info) {
    std::string problem = StoredNameProblem(name);
    if (!problem.empty()) return Fail(scan, path, problem);
    if (info.size >= kMaxCabinetFileSize) {
        return Fail(scan, path, std::to_string(info.size) +
                                    " bytes; a cabinet holds files below 2 GiB (2147483648 bytes)");
    }
    if (info.size > kMaxFolderBytes) {
        return Fail(scan, path, std::to_string(info.size) + " bytes; a cabinet folder holds at most " +
                                    std::to_string(kMaxFolderBytes));
    }
    FILE* readable = OpenForReading(path);
    if (!readable) return Fail(scan, path, "can't be read (" + ErrnoText() + ")");
    fclose(readable);

    FolderFile file;
    file.path = path;
    file.name = name;
    std::replace(file.name.begin(), file.name.end(), '/', '\\');
    file.size = info.size;
    file.modified = info.modified;
    file.attributes = CabinetAttributes(info.attributes);
    for (unsigned char c : name) {
        if (c >= 0x80) file.attributes |= kAttributeNameIsUtf8;
    }
    scan->files->push_back(file);
    return true;
}

static bool ScanEntries(FolderScan* scan, const std::string& folder, const std::string& prefix);

static bool ScanEntry(FolderScan* scan, const std::string& folder, const std::string& prefix,
                      const std::string& leafName) {
    std::string path = folder + kPathSeparator + leafName;
    std::string name = prefix + leafName;
    EntryInfo info;
    if (!ReadEntryInfo(path, false, &info)) return Fail(scan, path, ErrnoText());
    if (info.kind == kEntryFolder) return ScanEntries(scan, path, name + "/");
    std::string readPath = path;
    if (info.kind == kEntryLink) {
        if (!ResolveLink(scan, path, &readPath)) return false;
        if (!ReadEntryInfo(path, true, &info)) return Fail(scan, path, ErrnoText());
        if (info.kind == kEntryFolder) return Fail(scan, path, "a link to a folder; only links to files are followed");
    }
    if (info.kind != kEntryFile) return Fail(scan, path, "not a regular file; a cabinet holds only files");
    return AddFile(scan, readPath, name, info);
}

static bool ScanEntries(FolderScan* scan, const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    if (!ListFolderNames(folder, &names)) return Fail(scan, folder, ErrnoText());
    if (names.empty()) return Fail(scan, folder, "an empty folder; a cabinet holds files, not folders");
    std::sort(names.begin(), names.end());
    for (const std::string& leafName : names) {
        if (!ScanEntry(scan, folder, prefix, leafName)) return false;
    }
    return true;
}

// The folder as ScanFolder names the files under it.
static std::string FolderWithoutSeparator(const std::string& root) {
    bool separatorAtEnd = root.size() > 1 && (root.back() == '/' || root.back() == kPathSeparator);
    return separatorAtEnd ? root.substr(0, root.size() - 1) : root;
}

bool ScanFolder(const std::string& root, std::vector<FolderFile>* files, std::string* error) {
    EntryInfo info;
    std::string resolved;
    if (!ReadEntryInfo(root, true, &info) || !RealPath(root, &resolved)) {
        *error = root + ": " + ErrnoText();
        return false;
    }
    if (info.kind != kEntryFolder) {
        *error = root + ": not a folder";
        return false;
    }
    FolderScan scan;
    scan.realRoot = resolved.back() == kPathSeparator ? resolved : resolved + kPathSeparator;
    scan.files = files;
    scan.error = error;
    files->clear();
    if (!ScanEntries(&scan, FolderWithoutSeparator(root), "")) return false;

    std::string problem = FolderTotalsProblem(files->size());
    if (!problem.empty()) {
        *error = root + ": " + problem;
        return false;
    }
    return true;
}

std::vector<std::string> FolderNameProblems(const std::string& root, const std::vector<FolderFile>& files) {
    std::string folder = FolderWithoutSeparator(root);
    std::vector<NamedFile> named;
    for (const FolderFile& file : files) {
        NamedFile entry;
        Utf8ToUtf16(file.name, &entry.name);
        entry.shown = file.name;
        std::replace(entry.shown.begin(), entry.shown.end(), '\\', kPathSeparator);
        entry.shown = folder + kPathSeparator + entry.shown;
        named.push_back(entry);
    }
    std::vector<std::string> lines;
    for (const NameProblem& found : WindowsNameProblems(named)) {
        lines.push_back(named[found.index].shown + ": " + found.problem);
    }
    return lines;
}

static void SetCalendarTime(struct tm* local, int year, int month, int day, int hour, int minute, int second) {
    memset(local, 0, sizeof *local);
    local->tm_year = year - 1900;
    local->tm_mon = month - 1;
    local->tm_mday = day;
    local->tm_hour = hour;
    local->tm_min = minute;
    local->tm_sec = second;
}

bool DosTimeRepresentable(time_t modified, struct tm* local) {
    LocalCalendarTime(modified, local);
    if (local->tm_year + 1900 < 1980) {
        SetCalendarTime(local, 1980, 1, 1, 0, 0, 0);
        return false;
    }
    if (local->tm_year + 1900 > 2107) {
        SetCalendarTime(local, 2107, 12, 31, 23, 59, 58);
        return false;
    }
    return true;
}

static uint16_t DosDate(const struct tm& local) {
    return (uint16_t)(((local.tm_year + 1900 - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
}

static uint16_t DosTime(const struct tm& local) {
    return (uint16_t)((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
}

// The files' bytes, each file opened when its first bytes are asked for.
struct FolderReader {
    const std::vector<FolderFile>* files;
    size_t open;  // index of the file in `file`
    FILE* file;
    FolderProgressProc progress;
    void* progressContext;
};

static bool ReadFolderFile(void* context, size_t index, uint8_t* buffer, size_t count, std::string* error) {
    FolderReader* reader = static_cast<FolderReader*>(context);
    const FolderFile& source = (*reader->files)[index];
    if (!reader->file || reader->open != index) {
        if (reader->file) fclose(reader->file);
        reader->open = index;
        reader->file = OpenForReading(source.path);
        if (!reader->file) {
            *error = source.path + ": can't be read (" + ErrnoText() + ")";
            return false;
        }
    }
    if (fread(buffer, 1, count, reader->file) == count) return true;
    *error = ferror(reader->file) ? source.path + ": can't be read (" + ErrnoText() + ")"
                                  : source.path + ": shorter than when the folder was read; it changed meanwhile";
    return false;
}

static void ReportFolderProgress(void* context, uint64_t bytesDone, size_t filesStarted) {
    FolderReader* reader = static_cast<FolderReader*>(context);
    if (reader->progress) reader->progress(reader->progressContext, bytesDone, filesStarted);
}

bool WriteFolderCabinet(const std::vector<FolderFile>& files, const CabinetSettings& settings,
                        FolderProgressProc progress, void* progressContext, std::vector<uint8_t>* cabinet,
                        std::vector<std::string>* warnings, std::string* error) {
    std::vector<CabinetEntry> entries;
    for (const FolderFile& file : files) {
        struct tm local;
        if (!DosTimeRepresentable(file.modified, &local)) {
            warnings->push_back(file.path + ": modification time outside 1980-2107, stored as " +
                                std::to_string(local.tm_year + 1900) + "-" + std::to_string(local.tm_mon + 1) + "-" +
                                std::to_string(local.tm_mday));
        }
        entries.push_back(CabinetEntry{file.name, (uint32_t)file.size, DosDate(local), DosTime(local),
                                       (uint16_t)file.attributes});
    }
    FolderReader reader = {&files, 0, nullptr, progress, progressContext};
    CabinetSource source = {ReadFolderFile, ReportFolderProgress, &reader};
    bool ok = WriteCabinet(entries, settings, source, cabinet, error);
    if (reader.file) fclose(reader.file);
    return ok;
}
