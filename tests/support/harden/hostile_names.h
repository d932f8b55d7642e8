// One hostile stored name extracted through the real engine in a folder of
// its own, and what became of it.
#pragma once

#include <string>
#include <vector>

struct HostileOutcome {
    int exitCode = 0;
    std::vector<std::wstring> landed;  // below the destination, sorted, folders end in a backslash
    std::vector<std::wstring> boxes;   // texts of the message boxes, in order
    std::vector<std::wstring> strays;  // anything written outside the destination
};

struct HostileCase {
    const char* what;
    std::string stored;  // '#' stands for a per-process token (absolute targets stay apart)
    std::vector<std::wstring> landed;  // '#' likewise; "after.txt" is added when the run goes on
    std::vector<std::wstring> boxes;   // empty: no box
    bool stops = false;                // the entry ends the extraction
};

// The token that stands for '#': unique to this process.
std::string HostileToken();

// Extracts a cabinet holding the stored name followed by after.txt into
// a\b\c\out\ below a fresh temporary folder; lists that whole folder before
// and after, and looks for the token in the temporary root, the drive roots
// and the profile.
HostileOutcome ExtractHostileName(const std::string& stored);

// Compares one case with its outcome (gtest expectations).
void ExpectHostileCase(const HostileCase& row);
