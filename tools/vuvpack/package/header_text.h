// The header's text fields: UTF-8 on the command line and in reports,
// UTF-16LE in the header.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "base/package_header.h"

struct HeaderTextField {
    const char* name;    // field name, as reports show it
    const char* option;  // build option that sets it
    size_t offset;       // byte offset in the header
    size_t chars;        // UTF-16 units, terminator included
};

enum { kDestinationField, kCommandField, kCaptionField, kPromptField, kHeaderTextFieldCount };
extern const HeaderTextField kHeaderTextFields[kHeaderTextFieldCount];

// Stores text in the field as UTF-16LE, NUL-terminated, the rest of the
// field zero. Returns an empty string, or the problem (without the option).
std::string PutHeaderText(PackageHeader* header, const HeaderTextField& field, const std::string& utf8);

// The field's text up to its first NUL, never past the field.
std::string GetHeaderText(const PackageHeader& header, const HeaderTextField& field);
