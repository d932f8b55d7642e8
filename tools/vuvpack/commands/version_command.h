// vuvpack --version: its own version and the stubs build would take.
#pragma once

// Exit status 0, also when a stub is missing (the line says so).
int RunVersion();
