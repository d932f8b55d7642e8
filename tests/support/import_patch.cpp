#include "support/import_patch.h"

#include <windows.h>

int PatchImports(const void* original, const void* replacement) {
    BYTE* base = (BYTE*)GetModuleHandleW(nullptr);
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress) return 0;
    int patched = 0;
    for (IMAGE_IMPORT_DESCRIPTOR* library = (IMAGE_IMPORT_DESCRIPTOR*)(base + directory.VirtualAddress);
         library->Name; library++) {
        for (IMAGE_THUNK_DATA* slot = (IMAGE_THUNK_DATA*)(base + library->FirstThunk); slot->u1.Function; slot++) {
            if ((const void*)slot->u1.Function != original) continue;
            DWORD protection = 0;
            VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE, &protection);
            slot->u1.Function = (DWORD_PTR)replacement;
            VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), protection, &protection);
            patched++;
        }
    }
    return patched;
}
