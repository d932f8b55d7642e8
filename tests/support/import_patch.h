// Counting stand-ins for system functions: every import slot of the test
// program that points at a system function is pointed at a replacement,
// which counts and calls the real function. Lets a test see how often the
// code under test called the system without replacing what it does.
#pragma once

// Returns the number of slots changed (0 means the patch had no effect).
int PatchImports(const void* original, const void* replacement);
