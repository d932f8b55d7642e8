#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <wchar.h>

#include "vuvpack/system/program_entry.h"
#include "vuvpack/system/windows/wide_text.h"

// Unicode arguments; output to pipes and files byte for byte as on Linux
// (UTF-8, LF line ends): text mode would turn each LF into CR LF.
int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++) args.push_back(Utf8Text(argv[i], wcslen(argv[i])));
    return VuvpackMain(args);
}
