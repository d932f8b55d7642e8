#include "folder_cabinet.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <libgcab.h>

#include "header_text.h"
#include "package_layout.h"

std::string FolderTotalsProblem(uint64_t fileCount, uint64_t totalBytes) {
    if (fileCount == 0) return "holds no file; a cabinet needs at least one";
    if (fileCount > kMaxCabinetFiles) {
        return "holds " + std::to_string(fileCount) + " files; a cabinet holds at most " +
               std::to_string(kMaxCabinetFiles);
    }
    if (totalBytes > kMaxFolderBytes) {
        return "holds " + std::to_string(totalBytes) + " bytes; a cabinet folder holds at most " +
               std::to_string(kMaxFolderBytes);
    }
    return std::string();
}

struct FolderScan {
    std::string realRoot;  // canonical root, ending in '/'
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
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return Fail(scan, path, "a link that leads nowhere (" + ErrnoText() + ")");
    *target = resolved;
    if (target->compare(0, scan->realRoot.size(), scan->realRoot) != 0) {
        return Fail(scan, path, "a link outside the folder (to " + *target + ")");
    }
    return true;
}

static bool AddFile(FolderScan* scan, const std::string& path, const std::string& name, const std::string& leafName,
                    const struct stat& info) {
    std::string problem = StoredNameProblem(name);
    if (!problem.empty()) return Fail(scan, path, problem);
    if ((uint64_t)info.st_size >= kMaxCabinetFileSize) {
        return Fail(scan, path, std::to_string((uint64_t)info.st_size) +
                                    " bytes; a cabinet holds files below 2 GiB (2147483648 bytes)");
    }
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return Fail(scan, path, "can't be read (" + ErrnoText() + ")");
    close(fd);

    FolderFile file;
    file.path = path;
    file.name = name;
    std::replace(file.name.begin(), file.name.end(), '/', '\\');
    file.size = (uint64_t)info.st_size;
    file.modified = info.st_mtime;
    file.attributes = kAttributeArchive;
    if (!(info.st_mode & S_IWUSR)) file.attributes |= kAttributeReadOnly;
    if (leafName[0] == '.') file.attributes |= kAttributeHidden;
    for (unsigned char c : name) {
        if (c >= 0x80) file.attributes |= kAttributeNameIsUtf8;
    }
    scan->files->push_back(file);
    return true;
}

static bool ScanEntries(FolderScan* scan, const std::string& folder, const std::string& prefix);

static bool ScanEntry(FolderScan* scan, const std::string& folder, const std::string& prefix,
                      const std::string& leafName) {
    std::string path = folder + "/" + leafName;
    std::string name = prefix + leafName;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return Fail(scan, path, ErrnoText());
    if (S_ISDIR(info.st_mode)) return ScanEntries(scan, path, name + "/");
    std::string readPath = path;
    if (S_ISLNK(info.st_mode)) {
        if (!ResolveLink(scan, path, &readPath)) return false;
        if (stat(readPath.c_str(), &info) != 0) return Fail(scan, path, ErrnoText());
        if (S_ISDIR(info.st_mode)) return Fail(scan, path, "a link to a folder; only links to files are followed");
    }
    if (!S_ISREG(info.st_mode)) return Fail(scan, path, "not a regular file; a cabinet holds only files");
    return AddFile(scan, readPath, name, leafName, info);
}

static bool ScanEntries(FolderScan* scan, const std::string& folder, const std::string& prefix) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return Fail(scan, folder, ErrnoText());
    std::vector<std::string> names;
    while (struct dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
    }
    closedir(dir);
    if (names.empty()) return Fail(scan, folder, "an empty folder; a cabinet holds files, not folders");
    std::sort(names.begin(), names.end());
    for (const std::string& leafName : names) {
        if (!ScanEntry(scan, folder, prefix, leafName)) return false;
    }
    return true;
}

bool ScanFolder(const std::string& root, std::vector<FolderFile>* files, std::string* error) {
    char resolved[PATH_MAX];
    struct stat info;
    if (stat(root.c_str(), &info) != 0 || !realpath(root.c_str(), resolved)) {
        *error = root + ": " + ErrnoText();
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        *error = root + ": not a folder";
        return false;
    }
    FolderScan scan;
    scan.realRoot = std::string(resolved) + (strcmp(resolved, "/") == 0 ? "" : "/");
    scan.files = files;
    scan.error = error;
    files->clear();
    std::string folder = root.size() > 1 && root.back() == '/' ? root.substr(0, root.size() - 1) : root;
    if (!ScanEntries(&scan, folder, "")) return false;

    uint64_t totalBytes = 0;
    for (const FolderFile& file : *files) totalBytes += file.size;
    std::string problem = FolderTotalsProblem(files->size(), totalBytes);
    if (!problem.empty()) {
        *error = root + ": " + problem;
        return false;
    }
    return true;
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
    localtime_r(&modified, local);
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

// Adds one file; libgcab resets the attributes when it adds a file, so
// they are set afterwards.
static bool AddToFolder(GCabFolder* folder, const FolderFile& file, std::vector<std::string>* warnings,
                        std::string* error) {
    struct tm local;
    if (!DosTimeRepresentable(file.modified, &local)) {
        warnings->push_back(file.path + ": modification time outside 1980-2107, stored as " +
                            std::to_string(local.tm_year + 1900) + "-" + std::to_string(local.tm_mon + 1) + "-" +
                            std::to_string(local.tm_mday));
    }
    GFile* source = g_file_new_for_path(file.path.c_str());
    GCabFile* cabFile = gcab_file_new_with_file(file.name.c_str(), source);
    GDateTime* stamp = g_date_time_new_local(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                             local.tm_min, local.tm_sec);
    if (stamp) gcab_file_set_date_time(cabFile, stamp);
    GError* failure = nullptr;
    bool ok = gcab_folder_add_file(folder, cabFile, FALSE, nullptr, &failure);
    if (ok) {
        gcab_file_set_attributes(cabFile, file.attributes);
    } else {
        *error = file.path + ": " + failure->message;
        g_error_free(failure);
    }
    if (stamp) g_date_time_unref(stamp);
    g_object_unref(cabFile);
    g_object_unref(source);
    return ok;
}

GBytes* WriteFolderCabinet(const std::vector<FolderFile>& files, std::vector<std::string>* warnings,
                           std::string* error) {
    GCabCabinet* cabinet = gcab_cabinet_new();
    GCabFolder* folder = gcab_folder_new(GCAB_COMPRESSION_MSZIP);
    GOutputStream* stream = nullptr;
    GBytes* bytes = nullptr;
    GError* failure = nullptr;
    for (const FolderFile& file : files) {
        if (!AddToFolder(folder, file, warnings, error)) goto done;
    }
    if (!gcab_cabinet_add_folder(cabinet, folder, &failure)) goto failed;
    stream = g_memory_output_stream_new_resizable();
    if (!gcab_cabinet_write_simple(cabinet, stream, nullptr, nullptr, nullptr, &failure)) goto failed;
    if (!g_output_stream_close(stream, nullptr, &failure)) goto failed;
    bytes = g_memory_output_stream_steal_as_bytes(G_MEMORY_OUTPUT_STREAM(stream));
    goto done;
failed:
    *error = std::string("the cabinet can't be written: ") + failure->message;
    g_error_free(failure);
done:
    if (stream) g_object_unref(stream);
    g_object_unref(folder);
    g_object_unref(cabinet);
    return bytes;
}
