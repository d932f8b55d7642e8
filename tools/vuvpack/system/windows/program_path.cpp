#include "vuvpack/system/program_path.h"

#include "vuvpack/system/windows/wide_text.h"

std::string ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, &path[0], (DWORD)path.size());
        if (length == 0) return std::string();
        if (length < path.size()) return Utf8Text(path.data(), length);
        path.resize(path.size() * 2);
    }
}
