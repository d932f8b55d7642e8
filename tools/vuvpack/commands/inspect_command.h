// vuvpack inspect: what a package holds and whether the module can use it.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "base/certificate_table.h"
#include "base/package_header.h"
#include "vuvpack/cabinet/cabinet_summary.h"

enum HeaderState { kNoImage, kNothingAppended, kNoHeader, kValidHeader };
enum CrcState { kCrcNone, kCrcOk, kCrcMismatch };

struct Inspection {
    uint64_t fileSize = 0;
    uint32_t imageEnd = 0;  // 0: no PE image whose end can be found
    uint16_t machine = 0;   // the image's processor (IMAGE_FILE_MACHINE_*), 0 when unknown
    HeaderState headerState = kNoImage;
    PackageHeader header = {};
    int64_t cabinetOffset = -1;  // first signature in the file
    bool cabinetRead = false;
    CabinetSummary cabinet;
    bool signedPackage = false;  // a certificate table the module stops its CRC at
    CertificateTable certificateTable = {};
    CrcState crcState = kCrcNone;
    uint32_t crcComputed = 0;       // up to the certificate table, or the end of the file
    uint32_t signerPadding = 0;     // zero bytes before the table that a CRC made without them explains
    std::vector<std::string> problems;  // empty when the package is sound
};

// Fills *inspection; false (with the problem in *error) only when the file
// can't be read at all.
bool InspectPackage(const std::string& path, Inspection* inspection, std::string* error);

// Exit status: 0 sound, 1 not sound or unreadable, 2 usage error.
int RunInspect(const std::vector<std::string>& args);
