// Mutated cabinets through the real engine, in this process: the worker
// with the program's callbacks and the system's cabinet library, one case
// at a time in a fresh destination, each on its own thread with a time
// bound. Message boxes are answered by a second thread.
//
//   cabinet_fuzz <work folder> <first case> <case count> [seed file...]
//
// A seed file is a cabinet (an MSZIP one of gcab) or a package (LZX ones of
// vuvpack): its cabinet starts at the first signature followed by the zero
// reserved field, and only the cabinet is mutated.
//
// Before each case its index goes to <work folder>\state.txt, so a
// supervisor can restart after a crash with the next one. Faults are
// appended to <work folder>\faults.txt with the case written beside it as
// case-<index>.cab (its cabinet offset in the file name when not 0):
//   crash <index> <module> <code>    an exception the case raised
//   hang <index>                     the case ran over its bound
//   outside <index> <path>           a file written outside the destination
//   heap <index> <heap>              a heap of the process found damaged after the case
// The exit code is 0 when the cases ran without a fault, 1 after a fault
// that let the run go on, 2 after a crash, 3 after a hang, 4 after a
// damaged heap (the run stops), 5 when fewer than 1 case in 20 was
// extracted without an error: cases that all fail before their data test
// no decoder (as when every case's destination was refused).
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/state.h"
#include "extract/worker.h"
#include "support/answer_box.h"
#include "support/cab_writer.h"
#include "support/test_files.h"

namespace {

const DWORD kCaseBound = 20000;  // ms; a sound case takes a few

struct Case {
    std::vector<unsigned char> archive;
    long cabinetOffset;
};

struct Seed {
    std::vector<unsigned char> bytes;
    long cabinetOffset;
};


std::wstring work;
GlobalState initialState;
long currentCase = -1;

uint32_t Next(uint64_t* state) {
    *state = *state * 6364136223846793005ULL + 1442695040888963407ULL;
    return (uint32_t)(*state >> 33);
}


// Where the cabinet of a seed file starts: its signature, then 4 zero bytes.
long CabinetStart(const std::vector<unsigned char>& bytes) {
    static const unsigned char kStart[8] = {'M', 'S', 'C', 'F', 0, 0, 0, 0};
    for (size_t at = 0; at + sizeof kStart <= bytes.size(); at++) {
        if (memcmp(bytes.data() + at, kStart, sizeof kStart) == 0) return (long)at;
    }
    return -1;
}

std::vector<Seed> MakeSeeds(const std::vector<std::wstring>& seedPaths) {
    std::vector<Seed> seeds;
    CabContents plain;
    plain.files = {{"readme.txt", "read me\r\n"}, {"bin/data.bin", PatternBytes(70000, 1)}, {"empty", ""}};
    seeds.push_back({BuildCabinet(plain), 0});

    CabContents folders;
    folders.folders = 3;
    folders.blockSize = 4096;
    for (int i = 0; i < 6; i++) {
        CabFile file{"f" + std::to_string(i) + "/x.dat", PatternBytes(3000 + 2500 * i, i)};
        file.folder = i % 3;
        folders.files.push_back(file);
    }
    seeds.push_back({BuildCabinet(folders), 0});

    CabContents names;
    names.files = {{std::string(200, 'n') + ".txt", "long"},
                   {"../..\\odd/ name. ", "odd"},
                   {"\xE3\x81\x82\xE2\x80\xAE.txt", "utf8"},
                   {"CON", "device"},
                   {"a:b", "stream"}};
    seeds.push_back({BuildCabinet(names), 0});

    // Reserve areas shift every later structure.
    CabContents reserve = folders;
    reserve.headerReserve = 24;
    reserve.folderReserve = 4;
    reserve.dataReserve = 8;
    seeds.push_back({BuildCabinet(reserve), 0});

    // A package: an image in front of the cabinet.
    Seed package;
    std::string image = "MZ" + PatternBytes(6000, 7);
    package.bytes.assign(image.begin(), image.end());
    package.cabinetOffset = (long)package.bytes.size();
    std::vector<unsigned char> cabinet = BuildCabinet(plain);
    package.bytes.insert(package.bytes.end(), cabinet.begin(), cabinet.end());
    seeds.push_back(package);

    for (const std::wstring& path : seedPaths) {
        std::vector<unsigned char> bytes = ReadBytes(path);
        long start = CabinetStart(bytes);
        if (start >= 0) seeds.push_back({bytes, start});
    }
    return seeds;
}

uint32_t Get(const std::vector<unsigned char>& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size && at + i < bytes.size(); i++) value |= (uint32_t)bytes[at + i] << (8 * i);
    return value;
}

void Put(std::vector<unsigned char>* bytes, size_t at, int size, uint32_t value) {
    for (int i = 0; i < size && at + i < bytes->size(); i++) (*bytes)[at + i] = (unsigned char)(value >> (8 * i));
}

// A value a parser is likely to mishandle.
uint32_t Interesting(uint64_t* rng, uint32_t old, uint32_t fileSize, int size) {
    uint32_t top = size == 4 ? 0xFFFFFFFFu : size == 2 ? 0xFFFFu : 0xFFu;
    switch (Next(rng) % 12) {
    case 0: return 0;
    case 1: return 1;
    case 2: return top;
    case 3: return top >> 1;
    case 4: return (top >> 1) + 1;
    case 5: return fileSize;
    case 6: return fileSize - 1;
    case 7: return fileSize + 1;
    case 8: return old + 1;
    case 9: return old - 1;
    case 10: return old * 2 + 1;
    default: return Next(rng) & top;
    }
}

// Where the header, folder, file and first data records of a cabinet start
// and how long their fields are, as far as the (maybe damaged) bytes say.
struct Field {
    size_t at;
    int size;
};

std::vector<Field> HeaderFields(const std::vector<unsigned char>& cab, std::vector<size_t>* boundaries) {
    std::vector<Field> fields = {{8, 4}, {16, 4}, {24, 1}, {25, 1}, {26, 2}, {28, 2}, {30, 2}, {32, 2}, {34, 2}};
    boundaries->push_back(4);
    boundaries->push_back(36);
    if (cab.size() < 36) return fields;
    uint32_t folders = Get(cab, 26, 2), files = Get(cab, 28, 2), fileTable = Get(cab, 16, 4);
    uint32_t flags = Get(cab, 30, 2);
    size_t at = 36, folderReserve = 0, dataReserve = 0;
    if (flags & 0x0004) {  // reserve sizes, then the header's own reserve
        fields.push_back({36, 2});
        fields.push_back({38, 1});
        fields.push_back({39, 1});
        boundaries->push_back(40);
        folderReserve = Get(cab, 38, 1);
        dataReserve = Get(cab, 39, 1);
        at = 40 + Get(cab, 36, 2);
        boundaries->push_back(at);
    }
    for (uint32_t bit : {0x0001u, 0x0002u})  // previous, next: cabinet and disk names
        if (flags & bit)
            for (int name = 0; name < 2; name++) {
                while (at < cab.size() && cab[at]) at++;
                at++;
            }
    for (uint32_t i = 0; i < folders && i < 8 && at + 8 <= cab.size(); i++, at += 8 + folderReserve) {
        fields.push_back({at, 4});
        fields.push_back({at + 4, 2});
        fields.push_back({at + 6, 2});
        boundaries->push_back(at + 8);
        uint32_t data = Get(cab, at, 4);
        if (data + 8 + dataReserve <= cab.size()) {
            fields.push_back({data, 4});
            fields.push_back({data + 4, 2});
            fields.push_back({data + 6, 2});
            boundaries->push_back(data);
            boundaries->push_back(data + 8 + dataReserve);
        }
    }
    at = fileTable;
    for (uint32_t i = 0; i < files && i < 16 && at + 16 < cab.size(); i++) {
        fields.push_back({at, 4});       // size
        fields.push_back({at + 4, 4});   // offset in the folder
        fields.push_back({at + 8, 2});   // folder index
        fields.push_back({at + 14, 2});  // attributes
        boundaries->push_back(at);
        boundaries->push_back(at + 16);
        at += 16;
        while (at < cab.size() && cab[at]) at++;
        at++;
    }
    return fields;
}

// Whether a folder of the cabinet, read as the library reads the header,
// claims Quantum compression. Wine's Quantum decoder writes outside its
// buffers on data that is not Quantum (the 32 KB LZX seed with its method
// changed to Quantum and its empty first file made one byte long damages
// the heap inside the library's copy, before the first write callback);
// no code of ours can help that, so such cases are left out rather than
// end the run. The product's answer to such a cabinet is a test of its
// own (library faults).
bool ClaimsQuantum(const std::vector<unsigned char>& cab) {
    if (cab.size() < 36) return false;
    uint32_t folders = Get(cab, 26, 2), flags = Get(cab, 30, 2);
    size_t at = 36, folderReserve = 0;
    if (flags & 0x0004) {
        folderReserve = Get(cab, 38, 1);
        at = 40 + Get(cab, 36, 2);
    }
    for (uint32_t bit : {0x0001u, 0x0002u})
        if (flags & bit)
            for (int name = 0; name < 2; name++) {
                while (at < cab.size() && cab[at]) at++;
                at++;
            }
    for (uint32_t i = 0; i < folders && at + 8 <= cab.size(); i++, at += 8 + folderReserve) {
        if ((Get(cab, at + 6, 2) & 0x000F) == 2) return true;
    }
    return false;
}

Case MakeCase(const std::vector<Seed>& seeds, long index, uint32_t runSeed) {
    uint64_t rng = ((uint64_t)runSeed << 32) ^ (uint64_t)index * 0x9E3779B97F4A7C15ULL;
    Next(&rng);
    const Seed& seed = seeds[index % seeds.size()];
    std::vector<unsigned char> cab(seed.bytes.begin() + seed.cabinetOffset, seed.bytes.end());
    std::vector<size_t> boundaries;
    std::vector<Field> fields = HeaderFields(cab, &boundaries);

    int rounds = 1 + Next(&rng) % 3;
    for (int round = 0; round < rounds; round++) {
        switch (Next(&rng) % 6) {
        case 0:
        case 1: {  // a header, folder, file or data field
            Field field = fields[Next(&rng) % fields.size()];
            Put(&cab, field.at, field.size,
                Interesting(&rng, Get(cab, field.at, field.size), (uint32_t)cab.size(), field.size));
            break;
        }
        case 2: {  // cut at a record boundary, or next to one
            size_t at = boundaries[Next(&rng) % boundaries.size()] + (int)(Next(&rng) % 3) - 1;
            if (at < cab.size()) cab.resize(at);
            break;
        }
        case 3: {  // flags: reserve areas, previous and next cabinet
            Put(&cab, 30, 2, Next(&rng) & 7);
            break;
        }
        default: {  // random flips
            int flips = 1 + Next(&rng) % 8;
            for (int i = 0; i < flips && !cab.empty(); i++) cab[Next(&rng) % cab.size()] ^= (unsigned char)(1u << (Next(&rng) % 8));
            break;
        }
        }
    }
    Case result;
    result.archive.assign(seed.bytes.begin(), seed.bytes.begin() + seed.cabinetOffset);
    result.archive.insert(result.archive.end(), cab.begin(), cab.end());
    result.cabinetOffset = seed.cabinetOffset;
    return result;
}

// Recording a fault allocates nothing from the C runtime: a case that
// damaged its heap, or a worker stuck while holding the heap's lock, would
// otherwise stop the recording itself (and the run with it). The paths are
// made before each case; the case file is already on disk.
WCHAR faultsPath[MAX_PATH];
WCHAR casePath[MAX_PATH];
WCHAR keptPath[MAX_PATH];

void AppendFault(const char* line) {
    HANDLE file = CreateFileW(faultsPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, line, lstrlenA(line), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

void KeepCase() { CopyFileW(casePath, keptPath, FALSE); }

LONG WINAPI RecordCrash(EXCEPTION_POINTERS* exception) {
    HMODULE module = nullptr;
    char name[MAX_PATH] = "?";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           (LPCSTR)exception->ExceptionRecord->ExceptionAddress, &module))
        GetModuleFileNameA(module, name, MAX_PATH);
    KeepCase();
    char line[MAX_PATH + 64];
    wsprintfA(line, "crash %ld %s %08lx", currentCase, name, (unsigned long)exception->ExceptionRecord->ExceptionCode);
    AppendFault(line);
    TerminateProcess(GetCurrentProcess(), 2);
    return EXCEPTION_EXECUTE_HANDLER;
}

void SaveIndex(long index) {
    FILE* file = _wfopen((work + L"state.txt").c_str(), L"wb");
    if (!file) return;
    fprintf(file, "%ld\n", index);
    fclose(file);
}

unsigned __stdcall RunWorker(void* path) { return ExtractionWorker(path); }

// Every heap of the process checked whole after each case: damage shows
// itself only when a later allocation meets it, often cases later or at
// the process's end, and would be blamed on whatever ran then. The index
// of the first damaged heap, or -1.
int DamagedHeap() {
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(ARRAYSIZE(heaps), heaps);
    if (count > ARRAYSIZE(heaps)) count = ARRAYSIZE(heaps);
    for (DWORD i = 0; i < count; i++) {
        if (!HeapValidate(heaps[i], 0, nullptr)) return (int)i;
    }
    return -1;
}

// Runs the case in a fresh case folder: the worker, with the program's
// callbacks and the system's cabinet library, extracts it on a thread of
// its own. Ends the process after a hang or with a damaged heap; returns
// the worker's exit code.
DWORD RunCase(const Case& c, long index, const std::wstring& caseFolder) {
    currentCase = index;
    RemoveTree(caseFolder);
    CreateDirectoryW(caseFolder.c_str(), nullptr);
    std::wstring archive = caseFolder + L"fuzz.cab";
    std::wstring destination = caseFolder + L"out\\";
    WriteBytes(archive, c.archive);
    lstrcpynW(casePath, archive.c_str(), MAX_PATH);
    if (c.cabinetOffset)
        wsprintfW(keptPath, L"%scase-%ld-at-%ld.cab", work.c_str(), index, c.cabinetOffset);
    else
        wsprintfW(keptPath, L"%scase-%ld.cab", work.c_str(), index);
    CreateDirectoryW(destination.c_str(), nullptr);

    HMODULE cabinetModule = G.CabinetModule;
    memcpy(&G, &initialState, sizeof(G));
    G.CabinetModule = cabinetModule;
    lstrcpynW(G.ArchivePathBuffer, archive.c_str(), MAX_PATH);
    G.ArchivePath = G.ArchivePathBuffer;
    G.CabinetOffset = c.cabinetOffset;
    lstrcpynW(G.RunSettings.destination, destination.c_str(), MAX_PATH);
    G.RunSettings.OverwriteAll = 1;

    HANDLE worker = (HANDLE)_beginthreadex(nullptr, 0, RunWorker, (void*)G.ArchivePath, 0, nullptr);
    if (WaitForSingleObject(worker, kCaseBound) != WAIT_OBJECT_0) {
        KeepCase();
        char line[32];
        wsprintfA(line, "hang %ld", index);
        AppendFault(line);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    DWORD exitCode = 1;
    GetExitCodeThread(worker, &exitCode);
    CloseHandle(worker);
    int heap = DamagedHeap();
    if (heap >= 0) {
        KeepCase();
        char line[48];
        wsprintfA(line, "heap %ld %d", index, heap);
        AppendFault(line);
        TerminateProcess(GetCurrentProcess(), 4);
    }
    return exitCode;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: cabinet_fuzz <work folder> <first case> <case count> [seed file...]\n"
                        "       cabinet_fuzz <work folder> replay <case file> [cabinet offset]\n");
        return 64;
    }
    work = argv[1];
    // The module takes a destination of backslashes: with Z:/... from the
    // scripts every case failed before its first file.
    std::replace(work.begin(), work.end(), L'/', L'\\');
    if (work.back() != L'\\') work += L'\\';
    lstrcpynW(faultsPath, (work + L"faults.txt").c_str(), MAX_PATH);
    CreateDirectoryW(work.c_str(), nullptr);
    SetUnhandledExceptionFilter(RecordCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetStateDefaults();
    memcpy(&initialState, &G, sizeof(G));
    BoxAnswerer answerer;
    std::wstring caseFolder = work + L"case\\";

    // A kept case alone, as it was written (case -1 in the faults).
    if (lstrcmpW(argv[2], L"replay") == 0) {
        Case c = {ReadBytes(argv[3]), argc > 4 ? wcstol(argv[4], nullptr, 10) : 0};
        DWORD exitCode = RunCase(c, -1, caseFolder);
        RemoveTree(caseFolder);
        printf("worker exit code %lu, heaps sound, %zu boxes answered\n", (unsigned long)exitCode,
               answerer.Stop().size());
        return 0;
    }

    long first = wcstol(argv[2], nullptr, 10);
    long count = wcstol(argv[3], nullptr, 10);
    std::vector<Seed> seeds = MakeSeeds(std::vector<std::wstring>(argv + 4, argv + argc));
    uint32_t runSeed = 0x5EED;
    int result = 0;
    DWORD started = GetTickCount();
    long extracted = 0;  // cases the worker finished with success
    long quantum = 0;    // cases left out
    for (long index = first; index < first + count; index++) {
        SaveIndex(index);
        Case c = MakeCase(seeds, index, runSeed);
        if (ClaimsQuantum(std::vector<unsigned char>(c.archive.begin() + c.cabinetOffset, c.archive.end()))) {
            quantum++;
            continue;
        }
        if (RunCase(c, index, caseFolder) == 0) extracted++;
        for (const std::wstring& entry : ListTree(caseFolder)) {
            if (entry == L"fuzz.cab" || entry.compare(0, 4, L"out\\") == 0) continue;
            KeepCase();
            AppendFault(("outside " + std::to_string(index) + " " + Narrow(entry)).c_str());
            result = 1;
        }
    }
    // Past the cases a fault is no case's.
    currentCase = -1;
    RemoveTree(caseFolder);
    DWORD elapsed = GetTickCount() - started;
    printf("%ld cases in %lu ms (%.1f per second), %ld left out (Quantum), %ld extracted without an error, "
           "%zu boxes answered\n",
           count, (unsigned long)elapsed, elapsed ? count * 1000.0 / elapsed : 0.0, quantum, extracted,
           answerer.Stop().size());
    long ran = count - quantum;
    if (result == 0 && ran >= 20 && extracted * 20 < ran) {
        fprintf(stderr, "only %ld of %ld cases extracted: the cases reach no decoder\n", extracted, ran);
        return 5;
    }
    return result;
}
