// The package header that follows the executable image, shared by the
// module (Windows) and the package tools (Linux). Both compilers must
// produce the same 996-byte layout; the asserts below pin every offset.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
typedef wchar_t HeaderChar;  // WCHAR: 2 bytes on Windows
#else
typedef char16_t HeaderChar;  // Linux wchar_t is 4 bytes
#endif

enum {
    kHeaderSize = 996,
    kDestinationChars = 260,
    kCommandChars = 128,
    kCaptionChars = 32,
    kPromptChars = 64,
    kVariantPlain = '3',
    kVariantX64 = '6',
};

// Bytes 0-5 and 7 of a valid header; byte 6 is the variant.
static const char kHeaderMagic[8] = {'K', 'E', 'L', 'P', 'I', 'X', 0, 'U'};

#pragma pack(push, 1)
struct PackageHeader {
    char magic[6];
    char variant;
    char magicLast;
    HeaderChar destination[kDestinationChars];
    HeaderChar command[kCommandChars];
    int32_t OverwriteAll;
    int32_t OpenFolderWhenDone;
    int32_t DeleteAfterRun;
    int32_t SkipDestinationDialog;
    uint32_t PackageCrc;
    HeaderChar confirmCaption[kCaptionChars];
    HeaderChar confirmPrompt[kPromptChars];
};
#pragma pack(pop)

static_assert(sizeof(HeaderChar) == 2, "header text is UTF-16");
static_assert(sizeof(PackageHeader) == kHeaderSize, "header size");
static_assert(offsetof(PackageHeader, variant) == 6, "variant");
static_assert(offsetof(PackageHeader, magicLast) == 7, "magic");
static_assert(offsetof(PackageHeader, destination) == 8, "destination");
static_assert(offsetof(PackageHeader, command) == 528, "command");
static_assert(offsetof(PackageHeader, OverwriteAll) == 784, "OverwriteAll");
static_assert(offsetof(PackageHeader, OpenFolderWhenDone) == 788, "OpenFolderWhenDone");
static_assert(offsetof(PackageHeader, DeleteAfterRun) == 792, "DeleteAfterRun");
static_assert(offsetof(PackageHeader, SkipDestinationDialog) == 796, "SkipDestinationDialog");
static_assert(offsetof(PackageHeader, PackageCrc) == 800, "PackageCrc");
static_assert(offsetof(PackageHeader, confirmCaption) == 804, "confirmCaption");
static_assert(offsetof(PackageHeader, confirmPrompt) == 868, "confirmPrompt");
