#include "version_command.h"

#include <stdio.h>

#include <string>

#include "console_text.h"
#include "stub_lookup.h"
#include "stub_version.h"

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
