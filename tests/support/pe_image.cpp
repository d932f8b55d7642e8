#include "support/pe_image.h"

#include <string.h>

static void PutU16(std::vector<unsigned char>& bytes, size_t at, uint16_t value) {
    bytes[at] = (unsigned char)value;
    bytes[at + 1] = (unsigned char)(value >> 8);
}

static void PutU32(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++) bytes[at + i] = (unsigned char)(value >> (8 * i));
}

std::vector<unsigned char> MakePeImage(const std::vector<PeSection>& sections, size_t size, const PeLayout& layout) {
    std::vector<unsigned char> bytes(size, 0);
    if (size < 0x40) return bytes;
    bytes[0] = 'M';
    bytes[1] = 'Z';
    PutU32(bytes, 0x3C, (uint32_t)layout.peOffset);
    // An e_lfanew that points outside the image (or into the DOS header)
    // gets no PE header behind it.
    if (layout.peOffset < 0x40 || (size_t)layout.peOffset + 24 > size) return bytes;
    size_t pe = (size_t)layout.peOffset;
    PutU32(bytes, pe, layout.peSignature);
    PutU16(bytes, pe + 4, 0x014C);  // i386
    PutU16(bytes, pe + 6, layout.sectionCount == 0xFFFF ? (uint16_t)sections.size() : layout.sectionCount);
    PutU16(bytes, pe + 20, layout.optionalSize);
    size_t header = pe + 24 + layout.optionalSize;
    for (const PeSection& section : sections) {
        if (header + 40 > size) break;
        memcpy(&bytes[header], ".sect", 5);
        PutU32(bytes, header + 16, section.rawSize);
        PutU32(bytes, header + 20, section.rawPointer);
        PutU32(bytes, header + 36, section.characteristics);
        header += 40;
    }
    return bytes;
}

std::vector<unsigned char> MakeImageEndingAt(uint32_t imageEnd) {
    uint32_t lastStart = imageEnd - 0x200;
    std::vector<PeSection> sections = {
        {0x400, lastStart - 0x400 - 0x200, kScnCode | kScnMemExecute | kScnMemRead},
        {lastStart - 0x200, 0x200, kScnInitializedData | kScnMemRead},
        {lastStart, 0x200, kScnInitializedData | kScnMemRead},
    };
    return MakePeImage(sections, imageEnd);
}

PackageHeader MakeHeader() {
    PackageHeader header;
    memset(&header, 0, sizeof(header));
    memcpy(header.magic, "KELPIX", 6);
    header.variant = kVariantPlain;
    header.magicLast = 'U';
    return header;
}

PackageHeader MakeSampleHeader(const std::wstring& caption, const std::wstring& prompt) {
    PackageHeader header = MakeHeader();
    SetHeaderText(header.destination, kDestinationChars, L"%temp%");
    SetHeaderText(header.command, kCommandChars, L"setup.exe");
    header.DeleteAfterRun = 1;
    header.SkipDestinationDialog = 1;
    SetHeaderText(header.confirmCaption, kCaptionChars, caption);
    SetHeaderText(header.confirmPrompt, kPromptChars, prompt);
    return header;
}

void SetHeaderText(HeaderChar* field, int capacity, const std::wstring& text) {
    size_t count = text.size() < (size_t)capacity ? text.size() + 1 : (size_t)capacity;
    memcpy(field, text.c_str(), count * sizeof(HeaderChar));
}

void Append(std::vector<unsigned char>& bytes, const void* data, size_t count) {
    const unsigned char* p = (const unsigned char*)data;
    bytes.insert(bytes.end(), p, p + count);
}

void AppendHeader(std::vector<unsigned char>& bytes, const PackageHeader& header) {
    Append(bytes, &header, sizeof(header));
}

std::string CabinetSignature() {
    std::string signature = "MSC";
    signature += 'F';
    signature.append(4, '\0');
    return signature;
}
