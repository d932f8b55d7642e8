#include "version_command.h"

#include <stdio.h>

#include <string>

#include "stub_lookup.h"
#include "stub_version.h"

int RunVersion() {
    printf("vuvpack %s\n", VUV_VERSION);
    for (const StubArch& arch : kStubArches) {
        std::string path, version, problem;
        if (!FindStub(arch, &path, &problem)) {
            printf("%s\n", problem.c_str());
        } else if (!ReadStubVersion(path, &version, &problem)) {
            printf("%s stub: %s: %s\n", arch.name, path.c_str(), problem.c_str());
        } else {
            printf("%s stub: %s, version %s\n", arch.name, path.c_str(), version.c_str());
        }
    }
    return 0;
}
