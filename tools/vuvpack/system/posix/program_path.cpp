#include "vuvpack/system/program_path.h"

#include <filesystem>
#include <system_error>

std::string ProgramPath() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).string();
}
