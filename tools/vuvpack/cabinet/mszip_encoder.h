// MSZIP: each data block is "CK" and a deflate stream of its 32 KiB,
// compressed on its own.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// Replaces *out with the data block's bytes. False with the problem in
// *error when zlib fails.
bool MszipEncodeBlock(const uint8_t* data, size_t size, std::vector<uint8_t>* out, std::string* error);
