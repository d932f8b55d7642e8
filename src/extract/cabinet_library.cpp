#include "cabinet_library.h"

#include "app/messages.h"
#include "app/state.h"

// Never by bare name: a cabinet.dll planted beside a downloaded package
// must not be the one that runs.
static HMODULE LoadCabinetLibrary(void) {
    char path[MAX_PATH];
    static const char kName[] = "\\cabinet.dll";
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + sizeof(kName) > MAX_PATH) return nullptr;
    lstrcatA(path, kName);
    return LoadLibraryA(path);
}

HFDI CabCreate(PFNALLOC alloc, PFNFREE free, PFNOPEN open, PFNREAD read, PFNWRITE write, PFNCLOSE close,
               PFNSEEK seek, int cpuType, PERF erf) {
    if (!G.CabinetModule) G.CabinetModule = LoadCabinetLibrary();
    if (!G.CabinetModule) {
        // The extraction ends on a reported error.
        G.AbortCode = -1;
        ShowBox(nullptr, L"CABINET.DLL not found.", L"Vorbel", MB_ICONERROR, ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    G.CabinetCreate = (decltype(G.CabinetCreate))(void*)GetProcAddress(G.CabinetModule, "FDICreate");
    G.CabinetCopy = (decltype(G.CabinetCopy))(void*)GetProcAddress(G.CabinetModule, "FDICopy");
    G.CabinetIsCabinet = (decltype(G.CabinetIsCabinet))(void*)GetProcAddress(G.CabinetModule, "FDIIsCabinet");
    G.CabinetDestroy = (decltype(G.CabinetDestroy))(void*)GetProcAddress(G.CabinetModule, "FDIDestroy");
    if (!G.CabinetCreate || !G.CabinetCopy || !G.CabinetIsCabinet || !G.CabinetDestroy) return nullptr;
    return G.CabinetCreate(alloc, free, open, read, write, close, seek, cpuType, erf);
}

BOOL CabCopy(HFDI context, char* cabinetName, char* cabinetPath, int flags, PFNFDINOTIFY notify,
             PFNFDIDECRYPT decrypt, void* user) {
    if (!G.CabinetCopy) return FALSE;
    return G.CabinetCopy(context, cabinetName, cabinetPath, flags, notify, decrypt, user);
}

BOOL CabDestroy(HFDI context) {
    if (!G.CabinetDestroy) return FALSE;
    BOOL result = G.CabinetDestroy(context);
    FreeLibrary(G.CabinetModule);
    // The entry points went with the module.
    G.CabinetModule = nullptr;
    G.CabinetCreate = nullptr;
    G.CabinetCopy = nullptr;
    G.CabinetIsCabinet = nullptr;
    G.CabinetDestroy = nullptr;
    return result;
}
