#include "vuvpack/commands/stub_lookup.h"

#include <filesystem>
#include <system_error>

const StubArch kStubArches[2] = {{"x86", "vuvuzu.exe"}, {"x64", "vuvuzu64.exe"}};

const StubArch* FindStubArch(const std::string& name) {
    for (const StubArch& arch : kStubArches) {
        if (name == arch.name) return &arch;
    }
    return nullptr;
}

std::vector<std::string> StubCandidates(const StubArch& arch, const std::string& program) {
    std::vector<std::string> candidates;
    // Anything else would be relative to the current folder, where any
    // file could lie.
    std::filesystem::path path = std::filesystem::u8path(program);
    if (program.empty() || !path.is_absolute()) return candidates;
    std::filesystem::path folder = path.parent_path();
    for (const std::filesystem::path& place : {folder / ".." / "share" / "vuvuzu", folder, folder / ".."}) {
        candidates.push_back((place / arch.file).lexically_normal().u8string());
    }
    return candidates;
}

bool FindStub(const StubArch& arch, std::string* path, std::string* problem, const std::string& program) {
    std::vector<std::string> candidates = StubCandidates(arch, program);
    if (candidates.empty()) {
        *problem = std::string("no ") + arch.name +
                   " stub: vuvpack can't tell where its own program is (/proc/self/exe can't be read), so it "
                   "looks nowhere; name one with --stub";
        return false;
    }
    std::string looked;
    for (size_t i = 0; i < candidates.size(); i++) {
        std::error_code error;
        if (std::filesystem::is_regular_file(std::filesystem::u8path(candidates[i]), error)) {
            *path = candidates[i];
            return true;
        }
        looked += (i == 0 ? "" : i + 1 == candidates.size() ? " and " : ", ") + candidates[i];
    }
    *problem = std::string("no ") + arch.name + " stub: looked for " + looked + "; name one with --stub";
    return false;
}
