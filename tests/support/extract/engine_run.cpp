#include "support/extract/engine_run.h"

#include <windows.h>

#include "base/state.h"
#include "extract/worker.h"
#include "support/test_files.h"

void PrepareExtraction(const std::wstring& archivePath, long cabinetOffset, const std::wstring& destination) {
    lstrcpynW(G.ArchivePathBuffer, archivePath.c_str(), MAX_PATH);
    G.ArchivePath = G.ArchivePathBuffer;
    G.CabinetOffset = cabinetOffset;
    lstrcpynW(G.RunSettings.destination, destination.c_str(), MAX_PATH);
}

int ExtractOnThisThread(const std::wstring& archivePath, const std::vector<unsigned char>& archive,
                        long cabinetOffset, const std::wstring& destination) {
    WriteBytes(archivePath, archive);
    CreateDirectoryW(destination.c_str(), nullptr);
    PrepareExtraction(archivePath, cabinetOffset, destination);
    return (int)ExtractionWorker((void*)G.ArchivePath);
}

unsigned long LocalStamp(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    FILETIME local;
    WORD date = 0, time = 0;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToDosDateTime(&local, &date, &time);
    return ((DWORD)date << 16) | time;
}
