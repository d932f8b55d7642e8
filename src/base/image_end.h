// Where a PE image ends, from its first bytes. Pure: shared with the
// package tools, which place the header by the same rule.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { kImageProbeBytes = 4096 };

// data: the first bytes of the file (at most kImageProbeBytes are looked at).
// Returns the file offset where the image ends, or 0 when it can't be told.
uint32_t ImageEndFromBytes(const uint8_t* data, size_t count);
