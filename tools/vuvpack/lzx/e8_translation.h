// LZX's E8 call translation: the 32-bit operand after each E8 byte (an
// x86 CALL's relative target) becomes an absolute position, which repeats
// where calls to one target repeat. The decoder undoes it per frame.
#pragma once

#include <stdint.h>

// The frames a decoder translates: those of the first GiB of a folder.
static const uint32_t kE8FrameLimit = 32768;

// Translates one frame in place. framePosition counts from the folder's
// start; fileSize is the value of the stream's header. The last 10 bytes of
// a frame are never translated, nor are the 4 bytes after an E8.
void TranslateE8Frame(uint8_t* data, uint32_t size, uint32_t framePosition, int32_t fileSize);
