#include "extract/cabinet_library.h"

#include "base/messages.h"
#include "base/state.h"
#include "base/system_library.h"

HFDI CabCreate(PFNALLOC alloc, PFNFREE free, PFNOPEN open, PFNREAD read, PFNWRITE write, PFNCLOSE close,
               PFNSEEK seek, int cpuType, PERF erf) {
    if (!G.CabinetModule) G.CabinetModule = LoadSystemLibrary(L"\\cabinet.dll");
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
