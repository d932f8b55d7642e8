// Runs the extraction engine in the test process, as the worker would.
#pragma once

#include <string>
#include <vector>

// Writes archive bytes to archivePath and extracts them into destination
// (a folder path ending in a backslash) on the calling thread: the worker
// body without a progress dialog. cabinetOffset: where the cabinet starts.
// Returns the worker's exit code.
int ExtractOnThisThread(const std::wstring& archivePath, const std::vector<unsigned char>& archive,
                        long cabinetOffset, const std::wstring& destination);

// Sets the archive and destination in the state without running anything.
void PrepareExtraction(const std::wstring& archivePath, long cabinetOffset, const std::wstring& destination);
