#include "app/command_line.h"

#include "base/state.h"

// Copies length characters and terminates; FALSE when they don't fit.
static BOOL CopyText(WCHAR* target, int capacity, const WCHAR* source, int length) {
    if (length < 0 || length >= capacity) return FALSE;
    CopyMemory(target, source, length * sizeof(WCHAR));
    target[length] = 0;
    return TRUE;
}

// Trailing blanks are not part of the path, so they don't count against
// its length.
static BOOL CopyArchivePath(WCHAR* archivePath, const WCHAR* source, int length) {
    while (length > 0 && source[length - 1] == L' ') length--;
    return CopyText(archivePath, MAX_PATH, source, length);
}

// /E: at line[start] (the character after the ':'). Copies the command
// text, blanks its quotes, and returns where the switch scan resumes;
// *mark becomes the position after the text's terminator. A text too long
// for the command field leaves it empty and sets *tooLong.
static int ReadCommandText(WCHAR* line, int start, int* mark, BOOL* tooLong) {
    int textStart = start;
    WCHAR terminator = L' ';
    if (line[start] == L'"') {
        line[start] = L' ';
        textStart = start + 1;
        terminator = L'"';
    }
    int end = textStart;
    while (line[end] && line[end] != terminator) end++;
    if (line[end]) {
        if (terminator == L'"') line[end] = L' ';
        *mark = end + 1;
    } else {
        *mark = end;
    }
    PackageHeader& settings = G.RunSettings;
    if (!CopyText(settings.command, kCommandChars, line + textStart, end - textStart)) {
        settings.command[0] = 0;
        *tooLong = TRUE;
    }
    return line[textStart] ? textStart + 1 : textStart;
}

// TRUE when line[end] lies inside quotes. A command's quotes are blanked
// once its /E: is read, so they no longer count.
static BOOL InsideQuotes(const WCHAR* line, int end) {
    int quotes = 0;
    for (int i = 0; i < end; i++) quotes += line[i] == L'"';
    return quotes & 1;
}

// Scans for switches; returns the remainder mark, -1 when none was seen.
// *commandTooLong: an /E: command did not fit its field.
static int ScanSwitches(WCHAR* line, BOOL* commandTooLong) {
    PackageHeader& settings = G.RunSettings;
    int mark = -1;
    int commandEnd = 0;  // the last /E: command's text ends before this
    int i = 0;
    while (line[i]) {
        if (line[i] != L'/') {
            i++;
            continue;
        }
        WCHAR letter = line[i + 1];
        if (!letter) break;
        switch (letter | 0x20) {
        case L'd': settings.DeleteAfterRun = 1; mark = i + 2; i += 2; break;
        case L'h': settings.SkipDestinationDialog = 1; mark = i + 2; i += 2; break;
        case L'n': settings.OpenFolderWhenDone = 0; mark = i + 2; i += 2; break;
        case L'o': settings.OverwriteAll = 1; mark = i + 2; i += 2; break;
        case L'q':
            // Only a token of its own, and never one of a command's own
            // switches or part of a quoted path (C:/quarterly).
            if ((line[i + 2] == L' ' || !line[i + 2]) && i >= commandEnd && !InsideQuotes(line, i)) {
                G.QuietRun = TRUE;
                mark = i + 2;
            }
            i += 2;
            break;
        case L'e':
            if (line[i + 2] == L':') {
                i = ReadCommandText(line, i + 3, &mark, commandTooLong);
                commandEnd = mark;
            } else {
                // The character after the E is consumed unexamined.
                i += line[i + 2] ? 3 : 2;
            }
            break;
        default: i += 2; break;
        }
    }
    return mark;
}

// Quoted form: pieces between quote characters, empty ones skipped.
// Returns 0, or the code of the refusal: an archive path that does not
// fit, or, unattended, a destination that does not (it is not taken
// otherwise, and the files would go elsewhere unnoticed).
static DWORD TakeQuotedPaths(const WCHAR* line, WCHAR* archivePath) {
    const WCHAR* pieces[3] = {};
    int lengths[3] = {};
    int found = 0;
    const WCHAR* p = line;
    while (*p && *p != L'"') p++;
    while (*p && found < 3) {
        while (*p == L'"') p++;
        if (!*p) break;
        const WCHAR* start = p;
        while (*p && *p != L'"') p++;
        pieces[found] = start;
        lengths[found] = (int)(p - start);
        found++;
    }
    if (found == 0) return 0;
    if (!CopyArchivePath(archivePath, pieces[0], lengths[0])) return ERROR_INVALID_COMMAND_LINE;

    if (found == 3 && pieces[1][0] == L' ') {
        WCHAR destination[MAX_PATH];
        if (!CopyText(destination, MAX_PATH, pieces[2], lengths[2])) return G.QuietRun ? ERROR_FILENAME_EXCED_RANGE : 0;
        // The bare bit test: a missing path passes, an existing file does not.
        if (GetFileAttributesW(destination) & FILE_ATTRIBUTE_DIRECTORY)
            lstrcpynW(G.RunSettings.destination, destination, kDestinationChars);
    }
    return 0;
}

// Returns 0, or the code of the refusal (the archive path does not fit).
static DWORD TakeArchivePath(const WCHAR* line, int mark, WCHAR* archivePath) {
    for (const WCHAR* p = line; *p; p++)
        if (*p == L'"') return TakeQuotedPaths(line, archivePath);

    int length = lstrlenW(line);
    const WCHAR* start = line;
    if (mark >= length) {
        length = 0;
        while (line[length] && line[length] != L'/') length++;
    } else if (mark >= 0) {
        start = line + mark;
        while (*start == L' ') start++;
        length = lstrlenW(start);
    }
    return CopyArchivePath(archivePath, start, length) ? 0 : ERROR_INVALID_COMMAND_LINE;
}

// Unattended, the system shows no box of its own: not for a drive that is
// not ready, a file it can't open, or a crash. Set before anything touches
// a drive, the archive search included; the command inherits it.
static void SetQuietErrorMode(void) {
    if (G.QuietRun) SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

// A line too long for the working copy is refused, but a /Q in it still
// counts: a copy as long as the system lets a command line be is scanned
// by the same rules. The other switches stay unset, as the run ends.
static void FindQuietSwitch(const WCHAR* text) {
    WCHAR whole[kLongestCommandLine];
    lstrcpynW(whole, text, kLongestCommandLine);
    PackageHeader settings = G.RunSettings;
    BOOL commandTooLong = FALSE;
    ScanSwitches(whole, &commandTooLong);
    G.RunSettings = settings;
}

// A refused line ends the run before it has done anything: unattended with
// its own code, the first failure of the run; else the run reports that
// the archive can't be opened.
static int RefuseCommandLine(DWORD quietCode) {
    G.commandLineRefused = TRUE;
    if (G.QuietRun) G.QuietExitCode = quietCode;
    return 0;
}

int ParseCommandLine(const WCHAR* text, WCHAR* archivePath) {
    WCHAR line[kCommandLineChars];
    archivePath[0] = 0;
    if (!CopyText(line, kCommandLineChars, text, lstrlenW(text))) {
        FindQuietSwitch(text);
        SetQuietErrorMode();
        return RefuseCommandLine(ERROR_INVALID_COMMAND_LINE);
    }

    BOOL commandTooLong = FALSE;
    int mark = ScanSwitches(line, &commandTooLong);
    SetQuietErrorMode();
    if (!G.RunSettings.command[0]) G.RunSettings.DeleteAfterRun = 0;
    // Unattended, the files must not be extracted for a command that is lost.
    if (commandTooLong && G.QuietRun) return RefuseCommandLine(ERROR_INVALID_COMMAND_LINE);

    DWORD refusal = TakeArchivePath(line, mark, archivePath);
    if (refusal) {
        archivePath[0] = 0;
        return RefuseCommandLine(refusal);
    }
    if (!archivePath[0]) return 1;
    if (!SearchPathW(nullptr, archivePath, nullptr, 0, nullptr, nullptr)) return 0;
    return (GetFileAttributesW(archivePath) & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
}
