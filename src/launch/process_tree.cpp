#include "launch/process_tree.h"

#include "base/state.h"

// A job the module already runs in must let an installed application
// break away from ours too, and must not take the command's processes
// out of every job silently.
static BOOL OuterJobFits(void) {
    BOOL inJob = FALSE;
    if (!IsProcessInJob(GetCurrentProcess(), nullptr, &inJob)) return FALSE;
    if (!inJob) return TRUE;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits, sizeof(limits), nullptr))
        return FALSE;
    DWORD flags = limits.BasicLimitInformation.LimitFlags;
    return (flags & (JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK)) ==
           JOB_OBJECT_LIMIT_BREAKAWAY_OK;
}

BOOL JoinCommandTree(void) {
    if (G.CommandTreePort) return TRUE;
    if (!OuterJobFits()) return FALSE;
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    // The extended form: Wine 8 sets no basic limits.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job, port};
    if (job && port && SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) &&
        SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &association,
                                sizeof(association)) &&
        AssignProcessToJobObject(job, GetCurrentProcess())) {
        G.CommandTree = job;
        G.CommandTreePort = port;
        return TRUE;
    }
    if (job) CloseHandle(job);
    if (port) CloseHandle(port);
    return FALSE;
}

// The module stays in the job, so the port's "no process left" never
// comes: each process's end is reported there, and the count is read
// again after each report (and before the first, for ends already past).
void WaitForCommandTree(void) {
    if (!G.CommandTreePort) return;
    for (;;) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
        if (!QueryInformationJobObject(G.CommandTree, JobObjectBasicAccountingInformation, &accounting,
                                       sizeof(accounting), nullptr) ||
            accounting.ActiveProcesses <= 1)
            return;
        DWORD message;
        ULONG_PTR key;
        LPOVERLAPPED detail;
        if (!GetQueuedCompletionStatus(G.CommandTreePort, &message, &key, &detail, INFINITE)) return;
    }
}
