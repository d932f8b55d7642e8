// Hand-made PE images and package files for tests of the image end, the
// header and the cabinet search.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "base/package_header.h"

enum : uint32_t {
    kScnCode = 0x00000020,
    kScnInitializedData = 0x00000040,
    kScnMemExecute = 0x20000000,
    kScnMemRead = 0x40000000,
};

struct PeSection {
    uint32_t rawPointer;
    uint32_t rawSize;
    uint32_t characteristics;
};

struct PeLayout {
    int32_t peOffset = 0x80;        // e_lfanew
    uint16_t optionalSize = 0xE0;   // SizeOfOptionalHeader of a PE32 image
    uint16_t sectionCount = 0xFFFF; // NumberOfSections; 0xFFFF: the number of sections given
    uint32_t peSignature = 0x00004550;
};

// An image of size bytes (zero-filled): "MZ", e_lfanew, the PE signature,
// the file header and the section table; no code.
std::vector<unsigned char> MakePeImage(const std::vector<PeSection>& sections, size_t size,
                                       const PeLayout& layout = PeLayout());

// Sections that end at imageEnd, all readable: a typical image.
std::vector<unsigned char> MakeImageEndingAt(uint32_t imageEnd);

// A valid header: variant '3', empty texts, all flags 0.
PackageHeader MakeHeader();
// The sample package's settings: destination %temp%, command setup.exe,
// DeleteAfterRun, no dialog, and a confirmation with these texts.
PackageHeader MakeSampleHeader(const std::wstring& caption, const std::wstring& prompt);
// Writes text into a field of capacity characters; the terminator only when
// there is room for it (a text of capacity characters fills the field).
void SetHeaderText(HeaderChar* field, int capacity, const std::wstring& text);

void Append(std::vector<unsigned char>& bytes, const void* data, size_t count);
void AppendHeader(std::vector<unsigned char>& bytes, const PackageHeader& header);

// The eight-byte cabinet signature, built at run time so that no test
// program holds it (a test program's own file is searched by the driver).
std::string CabinetSignature();
