#include "support/leftovers.h"

#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <set>

#include "support/gui_driver.h"
#include "support/test_files.h"

namespace {

struct RunningProcess {
    DWORD parent;
    std::wstring name;
    ULONGLONG created;  // 0 when it could not be read
};

ULONGLONG CreationTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return ((ULONGLONG)created.dwHighDateTime << 32) | created.dwLowDateTime;
}

std::map<DWORD, RunningProcess> RunningProcesses() {
    std::map<DWORD, RunningProcess> running;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return running;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        RunningProcess process = {entry.th32ParentProcessID, entry.szExeFile, 0};
        HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (handle) {
            process.created = CreationTime(handle);
            CloseHandle(handle);
        }
        running[entry.th32ProcessID] = process;
    }
    CloseHandle(snapshot);
    return running;
}

std::set<DWORD> ProcessesWithWindows() {
    std::set<DWORD> owners;
    for (HWND window : VisibleTopWindows()) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        owners.insert(processId);
    }
    return owners;
}

// The running processes descended from this one, also through a parent
// that has ended since, as long as a test started that parent itself (the
// module that opened a folder window, for example). Process numbers are
// reused once a process is gone, so a child must also be younger than its
// parent: the system's own processes name as parent a number that a
// program of this run may carry now. Wine starts the process that serves
// the desktop, an explorer.exe without windows of its own, from whichever
// program first needs it: that one is the system's.
std::set<DWORD> Descendants(const std::map<DWORD, RunningProcess>& running) {
    std::map<DWORD, ULONGLONG> parents = {{GetCurrentProcessId(), CreationTime(GetCurrentProcess())}};
    for (HANDLE process : StartedProcesses()) parents[GetProcessId(process)] = CreationTime(process);
    std::set<DWORD> withWindows = ProcessesWithWindows();
    std::set<DWORD> found;
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [id, process] : running) {
            if (id == GetCurrentProcessId() || found.count(id) || !process.created) continue;
            if (!lstrcmpiW(process.name.c_str(), L"explorer.exe") && !withWindows.count(id)) continue;
            auto parent = parents.find(process.parent);
            bool started = parents.count(id) != 0;
            if (!started && (parent == parents.end() || process.created < parent->second)) continue;
            found.insert(id);
            parents[id] = process.created;
            grew = true;
        }
    }
    return found;
}

void EndProcess(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    if (!process) return;
    TerminateProcess(process, 0xDEAD);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

}  // namespace

void LeftoverWindowCheck::TearDown() {
    std::map<DWORD, RunningProcess> running = RunningProcesses();
    std::set<DWORD> descendants = Descendants(running);
    for (HWND window : VisibleTopWindows()) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (processId == GetCurrentProcessId() || descendants.count(processId))
            ADD_FAILURE() << "left open at the end of the program: " << DescribeWindow(window);
    }
    // A program that still runs may open a window later, in front of the
    // next program's.
    for (DWORD processId : descendants) {
        ADD_FAILURE() << "still running at the end of the program: process " << processId << " "
                      << Narrow(running[processId].name);
        EndProcess(processId);
    }
}
