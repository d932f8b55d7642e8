#include "vuvpack/header_text.h"

#include <string.h>

const HeaderTextField kHeaderTextFields[kHeaderTextFieldCount] = {
    {"destination", "--destination", offsetof(PackageHeader, destination), kDestinationChars},
    {"command", "--command", offsetof(PackageHeader, command), kCommandChars},
    {"confirmCaption", "--confirm-caption", offsetof(PackageHeader, confirmCaption), kCaptionChars},
    {"confirmPrompt", "--confirm-prompt", offsetof(PackageHeader, confirmPrompt), kPromptChars},
};

// Length of the sequence a lead byte starts, 0 for a byte that can't lead.
static int SequenceLength(uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool Utf8ToUtf16(const std::string& text, std::u16string* out) {
    static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    out->clear();
    size_t i = 0;
    while (i < text.size()) {
        uint8_t lead = (uint8_t)text[i];
        int length = SequenceLength(lead);
        if (length == 0 || i + length > text.size()) return false;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; k++) {
            uint8_t next = (uint8_t)text[i + k];
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        if (code >= 0x10000) {
            out->push_back((char16_t)(0xD800 + ((code - 0x10000) >> 10)));
            out->push_back((char16_t)(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out->push_back((char16_t)code);
        }
        i += length;
    }
    return true;
}

static void AppendUtf8(std::string* out, uint32_t code) {
    if (code < 0x80) {
        out->push_back((char)code);
    } else if (code < 0x800) {
        out->push_back((char)(0xC0 | (code >> 6)));
        out->push_back((char)(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back((char)(0xE0 | (code >> 12)));
        out->push_back((char)(0x80 | ((code >> 6) & 0x3F)));
        out->push_back((char)(0x80 | (code & 0x3F)));
    } else {
        out->push_back((char)(0xF0 | (code >> 18)));
        out->push_back((char)(0x80 | ((code >> 12) & 0x3F)));
        out->push_back((char)(0x80 | ((code >> 6) & 0x3F)));
        out->push_back((char)(0x80 | (code & 0x3F)));
    }
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        uint32_t unit = text[i];
        bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(&out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            i++;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(&out, 0xFFFD);
        } else {
            AppendUtf8(&out, unit);
        }
    }
    return out;
}

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
