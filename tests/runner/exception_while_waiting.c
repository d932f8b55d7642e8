/* Shows a fault of 32-bit Wine under the i386 emulator, not of ours: an
 * exception raised (here by a debug message, which Wine sends as one)
 * while another thread of the process waits crashes the process or Wine's
 * connection to its server. Natively, and with either half alone, it ends
 * with 0 and prints "done". Built as exception_while_waiting.exe; run it
 * with the build's wine-run (README, "Tests that the emulator can't run"):
 *   build/wine-run build/tests/runner/exception_while_waiting.exe [wait|message|both]
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static DWORD WINAPI WaitForRelease(LPVOID release) {
    WaitForSingleObject((HANDLE)release, INFINITE);
    return 0;
}

int main(int argc, char** argv) {
    const char* what = argc > 1 ? argv[1] : "both";
    HANDLE release = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE waiting = NULL;
    if (strcmp(what, "message") != 0) {
        waiting = CreateThread(NULL, 0, WaitForRelease, release, 0, NULL);
        Sleep(50); /* the thread is in its wait; a demonstration, not a test */
    }
    if (strcmp(what, "wait") != 0) OutputDebugStringA("a debug message\n");
    SetEvent(release);
    if (waiting) WaitForSingleObject(waiting, INFINITE);
    printf("done\n");
    return 0;
}
