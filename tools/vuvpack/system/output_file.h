// The package is written to a temporary file beside its final name and
// renamed at the end, so a failed build leaves nothing half-written.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

struct OutputFile {
    std::string path;      // final name
    std::string tempPath;  // what is written
    intptr_t handle;       // file descriptor or HANDLE; -1 when closed
};

// Each returns false with "path: problem" in *error; after a failure the
// caller discards the output.
bool OpenOutput(const std::string& path, OutputFile* output, std::string* error);
bool WriteOutput(OutputFile* output, const void* bytes, size_t count, std::string* error);
bool CommitOutput(OutputFile* output, std::string* error);
void DiscardOutput(OutputFile* output);

