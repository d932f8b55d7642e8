#include "vuvpack/commands/version_command.h"

#include <stdio.h>

#include <string>

#include "vuvpack/commands/stub_lookup.h"
#include "vuvpack/package/stub_version.h"
#include "vuvpack/system/console_text.h"

int RunVersion() {
    WriteText(stdout, std::string("vuvpack ") + VUV_VERSION + "\n");
    for (const StubArch& arch : kStubArches) {
        std::string path, version, problem;
        if (!FindStub(arch, &path, &problem)) {
            WriteText(stdout, problem + "\n");
        } else if (!ReadStubVersion(path, &version, &problem)) {
            WriteText(stdout, std::string(arch.name) + " stub: " + path + ": " + problem + "\n");
        } else {
            WriteText(stdout, std::string(arch.name) + " stub: " + path + ", version " + version + "\n");
        }
    }
    return 0;
}
