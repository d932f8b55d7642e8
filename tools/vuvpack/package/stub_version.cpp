#include "vuvpack/package/stub_version.h"

#include <string.h>

#include "vuvpack/package/package_layout.h"

// VS_FIXEDFILEINFO starts with this signature and structure version 1.0;
// the file version's two halves follow.
static const uint8_t kFixedInfoStart[8] = {0xBD, 0x04, 0xEF, 0xFE, 0x00, 0x00, 0x01, 0x00};

static uint32_t U32At(const uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | ((uint32_t)bytes[3] << 24);
}

std::string FormatFileVersion(uint32_t versionMs, uint32_t versionLs) {
    std::string text = std::to_string(versionMs >> 16) + "." + std::to_string(versionMs & 0xFFFF);
    if (versionLs != 0) text += "." + std::to_string(versionLs >> 16);
    if ((versionLs & 0xFFFF) != 0) text += "." + std::to_string(versionLs & 0xFFFF);
    return text;
}

// The resource compiler aligns the structure to 4 bytes; scanning the image
// for it is simpler than walking the resource directory and finds the same.
bool ReadStubVersion(const std::string& path, std::string* version, std::string* problem) {
    StubImage image;
    if (!ReadStubImage(path, &image, problem)) return false;
    const std::vector<uint8_t>& bytes = image.bytes;
    for (size_t i = 0; i + 16 <= bytes.size(); i += 4) {
        if (memcmp(&bytes[i], kFixedInfoStart, sizeof kFixedInfoStart) != 0) continue;
        *version = FormatFileVersion(U32At(&bytes[i + 8]), U32At(&bytes[i + 12]));
        return true;
    }
    *problem = "no version resource";
    return false;
}
