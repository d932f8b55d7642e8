#include "entry.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR lpCmdLine, int) { return RunProgram(lpCmdLine); }
