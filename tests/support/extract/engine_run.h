// Runs the extraction engine in the test process, as the worker would,
// and reads back what it wrote.
#pragma once

#include <string>
#include <vector>

// Writes archive bytes to archivePath and extracts them into destination
// (a folder path ending in a backslash) on the calling thread: the worker
// body without a progress dialog. cabinetOffset: where the cabinet starts.
// Returns the worker's exit code.
int ExtractOnThisThread(const std::wstring& archivePath, const std::vector<unsigned char>& archive,
                        long cabinetOffset, const std::wstring& destination);

// The file's last-write time in local time as a DOS stamp (date << 16 |
// time), the form in which a cabinet stores it; 0 when it can't be read.
unsigned long LocalStamp(const std::wstring& path);

// Sets the archive and destination in the state without running anything.
void PrepareExtraction(const std::wstring& archivePath, long cabinetOffset, const std::wstring& destination);
