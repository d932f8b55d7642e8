// The system's cabinet library, loaded by full path from the system
// folder and bound at run time. Worker thread only.
#pragma once

#include <windows.h>

#include <fdi.h>

// Loads and binds the library (the "CABINET.DLL not found." box when it
// cannot be loaded), then returns FDICreate's context, or null.
HFDI CabCreate(PFNALLOC alloc, PFNFREE free, PFNOPEN open, PFNREAD read, PFNWRITE write, PFNCLOSE close,
               PFNSEEK seek, int cpuType, PERF erf);
BOOL CabCopy(HFDI context, char* cabinetName, char* cabinetPath, int flags, PFNFDINOTIFY notify,
             PFNFDIDECRYPT decrypt, void* user);
// Destroys the context and unloads the library.
BOOL CabDestroy(HFDI context);
