// Throughput of the package CRC pass, with its progress window, on a
// package file made by crc_throughput.sh.
//
//   crc_throughput.exe PACKAGE HEADER-OFFSET
// Prints the covered bytes, the CRC, the time and MB/s (1 MB = 10^6 bytes)
// of CheckPackageCrc twice: first as the process's first window (as in a
// package, where it pays the start-up of the window system that the
// progress dialog would pay otherwise), then again with that start-up
// behind it. Then for comparison one plain read of the same bytes, a
// byte-at-a-time table loop over the same file, and the folds alone over
// one block in memory (as many bytes): the one the pass takes on this
// processor, and the eight tables.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <initializer_list>

#include "base/crc32_core.h"
#include "base/package_header.h"
#include "base/state.h"
#include "check/package_crc.h"

static double Seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
}

static HANDLE OpenBehindHeader(const char* path, LONG headerOffset) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) SetFilePointer(file, headerOffset + kHeaderSize, nullptr, FILE_BEGIN);
    return file;
}

static void Report(const char* what, double bytes, DWORD crc, double seconds) {
    printf("%-26s %.0f bytes  crc %08lX  %.3f s  %.1f MB/s\n", what, bytes, crc, seconds, bytes / seconds / 1e6);
}

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    SetStateDefaults();
    LONG headerOffset = atol(argv[2]);
    HANDLE file = OpenBehindHeader(argv[1], headerOffset);
    if (file == INVALID_HANDLE_VALUE) return 1;
    LONG fileSize = (LONG)GetFileSize(file, nullptr);
    double covered = (double)fileSize - headerOffset - kHeaderSize;

    LARGE_INTEGER start, end;
    for (const char* what : {"CheckPackageCrc, first", "CheckPackageCrc, again"}) {
        if (file == INVALID_HANDLE_VALUE) file = OpenBehindHeader(argv[1], headerOffset);
        QueryPerformanceCounter(&start);
        DWORD crc =
            CheckPackageCrc(file, GetModuleHandleW(nullptr), 0, fileSize + kHeaderSize, headerOffset, L"bench");
        QueryPerformanceCounter(&end);
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        Report(what, covered, crc, Seconds(start, end));
    }

    static BYTE block[65536];
    DWORD read = 0;
    file = OpenBehindHeader(argv[1], headerOffset);
    double plain = 0;
    QueryPerformanceCounter(&start);
    while (ReadFile(file, block, sizeof(block), &read, nullptr) && read) plain += read;
    QueryPerformanceCounter(&end);
    CloseHandle(file);
    Report("plain read, 64 KiB blocks", plain, 0, Seconds(start, end));

    file = OpenBehindHeader(argv[1], headerOffset);
    QueryPerformanceCounter(&start);
    Crc32Init();
    uint32_t state = 0xFFFFFFFFu;
    while (ReadFile(file, block, sizeof(block), &read, nullptr) && read)
        for (DWORD i = 0; i < read; i++) state = (state >> 8) ^ G.CrcTable[0][(state ^ block[i]) & 0xFF];
    QueryPerformanceCounter(&end);
    CloseHandle(file);
    Report("byte-at-a-time reference", covered, ~state, Seconds(start, end));

    double folded = 0;
    QueryPerformanceCounter(&start);
    Crc32Init();
    for (; folded < covered; folded += sizeof(block)) Crc32Update(block, sizeof(block));
    QueryPerformanceCounter(&end);
    Report(G.CrcWide ? "fold alone (carry-less)" : "fold alone (tables)", folded, ~G.CrcState, Seconds(start, end));

    QueryPerformanceCounter(&start);
    uint32_t tableState = 0xFFFFFFFFu;
    for (double done = 0; done < covered; done += sizeof(block))
        tableState = Crc32Fold(G.CrcTable, tableState, block, sizeof(block));
    QueryPerformanceCounter(&end);
    Report("fold alone (tables)", folded, ~tableState, Seconds(start, end));
    return 0;
}
