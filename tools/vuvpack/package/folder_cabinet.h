// A cabinet made from every file under a folder.
#pragma once

#include <stdint.h>
#include <time.h>

#include <string>
#include <vector>

#include "vuvpack/cabinet/cabinet_writer.h"

struct FolderFile {
    std::string path;  // what is read: the file, or the file a link leads to
    std::string name;  // stored name: relative, backslashes, UTF-8
    uint64_t size;
    time_t modified;
    uint32_t attributes;
};

// Problem of a folder's file count, or "" when a cabinet can hold it. Any
// total size fits: the files go in as many cabinet folders as they need.
std::string FolderTotalsProblem(uint64_t fileCount);

// Every file under root, sorted by stored name. On failure returns false
// with "path: problem" in *error; nothing is skipped silently.
bool ScanFolder(const std::string& root, std::vector<FolderFile>* files, std::string* error);

// "path: problem" for every file whose name Windows can't hold as it is
// (package/windows_names.h), in the files' order; empty when there is none.
std::vector<std::string> FolderNameProblems(const std::string& root, const std::vector<FolderFile>& files);

// DOS time stamps reach from 1980 to 2107; other times are moved to the
// nearest end, with a warning.
bool DosTimeRepresentable(time_t modified, struct tm* local);

// Hears how far the writing is: bytes compressed, files started.
typedef void (*FolderProgressProc)(void* context, uint64_t bytesDone, size_t filesStarted);

// Writes the cabinet into *cabinet. Warnings (moved time stamps) are added
// to *warnings. On failure returns false with the problem in *error.
bool WriteFolderCabinet(const std::vector<FolderFile>& files, const CabinetSettings& settings,
                        FolderProgressProc progress, void* progressContext, std::vector<uint8_t>* cabinet,
                        std::vector<std::string>* warnings, std::string* error);
