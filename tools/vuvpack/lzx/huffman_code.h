// Length-limited Huffman codes, as the cabinet's LZX decoders build them.
#pragma once

#include <stdint.h>

// Code lengths of at most maxLength bits for the symbols' counts, by
// package-merge (integers only, the same lengths on every build). Every
// used symbol gets a code and the code is complete, as the decoders'
// tables require: with one used symbol, a second symbol gets a code too.
// All lengths are 0 when no symbol is used.
void BuildCodeLengths(const uint32_t* counts, int symbolCount, int maxLength, uint8_t* lengths);

// The canonical codes of the lengths: shorter codes first, codes of one
// length in symbol order, sent from the highest bit.
void BuildCanonicalCodes(const uint8_t* lengths, int symbolCount, uint16_t* codes);
