/* A planted library or program: records its own path, one line, in the
   file named by VUV_MARKER_LOG whenever it is loaded or started. */
#include <windows.h>

static void RecordLoad(HMODULE module) {
    WCHAR log[MAX_PATH], path[MAX_PATH];
    char line[3 * MAX_PATH + 2];
    DWORD written = 0;
    if (!GetEnvironmentVariableW(L"VUV_MARKER_LOG", log, MAX_PATH)) return;
    if (!GetModuleFileNameW(module, path, MAX_PATH)) return;
    int length = WideCharToMultiByte(CP_UTF8, 0, path, -1, line, 3 * MAX_PATH, NULL, NULL);
    if (length <= 0) return;
    line[length - 1] = '\n';
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    WriteFile(file, line, (DWORD)length, &written, NULL);
    CloseHandle(file);
}

#ifdef VUV_MARKER_PROGRAM
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    RecordLoad(NULL);
    return 0;
}
#else
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) RecordLoad(instance);
    return TRUE;
}
#endif
