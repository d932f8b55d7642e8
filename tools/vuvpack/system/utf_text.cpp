#include "vuvpack/system/utf_text.h"

#include <stdint.h>

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
