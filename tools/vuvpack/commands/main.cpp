// vuvpack: builds self-extracting packages and inspects them.
#include "vuvpack/system/program_entry.h"

#include <stdio.h>

#include <string>
#include <vector>

#include "vuvpack/commands/build_command.h"
#include "vuvpack/commands/inspect_command.h"
#include "vuvpack/commands/report.h"
#include "vuvpack/commands/version_command.h"
#include "vuvpack/system/console_text.h"

static const char kHelp[] =
    "Usage: vuvpack COMMAND [ARGS]\n"
    "\n"
    "Builds and inspects self-extracting packages: the module's executable image,\n"
    "a 996-byte package header at its image end, and a cabinet.\n"
    "\n"
    "Commands:\n"
    "  build    make a package from a stub and a cabinet or a folder\n"
    "  inspect  describe a package: header, cabinet and CRC\n"
    "\n"
    "Run 'vuvpack COMMAND --help' for the options of a command; 'vuvpack --version'\n"
    "shows vuvpack's version and the stubs that build takes without --stub.\n";

int VuvpackMain(std::vector<std::string> args) {
    if (args.empty()) {
        WriteText(stderr, kHelp);
        return 2;
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        WriteText(stdout, kHelp);
        return 0;
    }
    if (command == "--version") return RunVersion();
    if (command == "build") return RunBuild(args);
    if (command == "inspect") return RunInspect(args);
    ReportError("unknown command " + command + " (see vuvpack --help)");
    return 2;
}
