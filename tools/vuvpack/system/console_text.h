// Text to the user: UTF-8 inside vuvpack; a console gets it in the
// console's own encoding, a pipe or a file the UTF-8 bytes.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

// Writes text to stdout or stderr.
void WriteText(FILE* stream, const std::string& text);
// True when the stream is a terminal (a console on Windows).
bool IsTerminal(FILE* stream);
// Milliseconds from a fixed point that never moves back.
uint64_t MonotonicMs();
