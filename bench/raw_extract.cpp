// The limit the module is measured against: the system cabinet library
// driven with the plainest callbacks and nothing around it. One top-level
// window is created so that GUI start-up is paid as by the module.
//
//   raw_extract.exe CABINET OUTPUT-FOLDER\    (exit code 0 on success)
#include <windows.h>
#include <fcntl.h>
#include <fdi.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

static char outputFolder[MAX_PATH];

static void* DIAMONDAPI Alloc(ULONG count) { return malloc(count); }
static void DIAMONDAPI Free(void* block) { free(block); }
static INT_PTR DIAMONDAPI Open(char* name, int flags, int mode) { return _open(name, flags | _O_BINARY, mode); }
static UINT DIAMONDAPI Read(INT_PTR fd, void* buffer, UINT count) { return _read((int)fd, buffer, count); }
static UINT DIAMONDAPI Write(INT_PTR fd, void* buffer, UINT count) { return _write((int)fd, buffer, count); }
static int DIAMONDAPI Close(INT_PTR fd) { return _close((int)fd); }
static LONG DIAMONDAPI Seek(INT_PTR fd, LONG distance, int origin) { return _lseek((int)fd, distance, origin); }

static void CreateParents(char* path) {
    for (char* p = path + lstrlenA(outputFolder); *p; p++) {
        if (*p != '\\') continue;
        *p = 0;
        CreateDirectoryA(path, nullptr);
        *p = '\\';
    }
}

static INT_PTR DIAMONDAPI Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION note) {
    static char path[MAX_PATH * 2];
    if (type == fdintCOPY_FILE) {
        _snprintf(path, sizeof(path) - 1, "%s%s", outputFolder, note->psz1);
        path[sizeof(path) - 1] = 0;
        CreateParents(path);
        return _open(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    }
    if (type == fdintCLOSE_FILE_INFO) {
        FILETIME local, utc;
        if (DosDateTimeToFileTime(note->date, note->time, &local) && LocalFileTimeToFileTime(&local, &utc))
            SetFileTime((HANDLE)_get_osfhandle((int)note->hf), &utc, nullptr, &utc);
        _close((int)note->hf);
        SetFileAttributesA(path, note->attribs & 0x27);
        return TRUE;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    HWND window = CreateWindowExA(0, "STATIC", "raw", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    lstrcpynA(outputFolder, argv[2], MAX_PATH);

    char cabinetPath[MAX_PATH], *name = nullptr;
    if (!GetFullPathNameA(argv[1], MAX_PATH, cabinetPath, &name) || !name) return 2;
    char cabinetName[MAX_PATH];
    lstrcpynA(cabinetName, name, MAX_PATH);
    *name = 0;

    ERF erf;
    HFDI context = FDICreate(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &erf);
    if (!context) return 1;
    BOOL ok = FDICopy(context, cabinetName, cabinetPath, 0, Notify, nullptr, nullptr);
    FDIDestroy(context);
    DestroyWindow(window);
    return ok ? 0 : 1;
}
