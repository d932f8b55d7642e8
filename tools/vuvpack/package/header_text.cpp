#include "vuvpack/package/header_text.h"

#include <string.h>

#include "vuvpack/system/utf_text.h"

const HeaderTextField kHeaderTextFields[kHeaderTextFieldCount] = {
    {"destination", "--destination", offsetof(PackageHeader, destination), kDestinationChars},
    {"command", "--command", offsetof(PackageHeader, command), kCommandChars},
    {"confirmCaption", "--confirm-caption", offsetof(PackageHeader, confirmCaption), kCaptionChars},
    {"confirmPrompt", "--confirm-prompt", offsetof(PackageHeader, confirmPrompt), kPromptChars},
};

// Text fields are reached through byte offsets: the packed record may sit
// at any address, so no HeaderChar pointer into it is formed.
static uint8_t* FieldBytes(PackageHeader* header, const HeaderTextField& field) {
    return reinterpret_cast<uint8_t*>(header) + field.offset;
}

std::string PutHeaderText(PackageHeader* header, const HeaderTextField& field, const std::string& utf8) {
    std::u16string text;
    if (!Utf8ToUtf16(utf8, &text)) return "not valid UTF-8";
    if (text.size() > field.chars - 1) {
        return std::to_string(text.size()) + " characters, the header holds at most " +
               std::to_string(field.chars - 1) + " (UTF-16 units)";
    }
    uint8_t* bytes = FieldBytes(header, field);
    memset(bytes, 0, field.chars * 2);
    for (size_t i = 0; i < text.size(); i++) {
        bytes[2 * i] = (uint8_t)(text[i] & 0xFF);
        bytes[2 * i + 1] = (uint8_t)(text[i] >> 8);
    }
    return std::string();
}

std::string GetHeaderText(const PackageHeader& header, const HeaderTextField& field) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&header) + field.offset;
    std::u16string text;
    for (size_t i = 0; i < field.chars; i++) {
        char16_t unit = (char16_t)(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    return Utf16ToUtf8(text);
}
