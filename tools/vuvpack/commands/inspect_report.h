// The two forms of inspect's report: lines of text, or one JSON object.
#pragma once

#include <stdint.h>

#include <string>

#include "vuvpack/commands/inspect_command.h"

std::string InspectionText(const std::string& path, const Inspection& inspection);
std::string InspectionJson(const std::string& path, const Inspection& inspection);

// "0x" and eight hex digits.
std::string Hex32(uint32_t value);
