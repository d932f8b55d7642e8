// Runs the package's command from the destination after extraction.
#pragma once

#include <windows.h>

enum { kInstallerNameChars = 128 };

// command: relative to destination, optionally followed by parameters.
// destination ends in a backslash. waitFlag (DeleteAfterRun): wait for the
// program and for an installer window it leaves. An ".inf" command runs
// through the system's setup library and is always waited for. Whatever is
// waited for is waited for with every process it starts, where the module
// can hold them in a job (launch/process_tree.h). Shows no
// message; failures end it quietly. Unattended (/Q), a program is always
// waited for (a script through the system's command interpreter, an
// installer package through the system's installer, without a window) and
// a document is not opened. Returns the exit code of an unattended run:
// the program's own, 0 for a document or a setup script that ran, or the
// error that kept the command from starting.
DWORD LaunchCommand(const WCHAR* command, const WCHAR* destination, BOOL waitFlag);

// Both buffers kInstallerNameChars. Returns the first installer window found
// (or null); only the buffer of the name that matched is left non-empty.
HWND FindInstallerWindow(WCHAR* className, WCHAR* title);

// Splits "file.exe parameters" in place: the file ends at the first
// program type (an extension of the system's PATHEXT list, or ".msi",
// ".msp"; any case) followed by a blank or the end; the blank becomes the
// terminator. Returns the parameters (empty when the type ends the text),
// or null when there is no such type and the whole text is the file.
WCHAR* SplitParameters(WCHAR* command);
