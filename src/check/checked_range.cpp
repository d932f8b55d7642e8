#include "check/checked_range.h"

#include "base/certificate_table.h"
#include "base/file_access.h"
#include "base/image_end.h"

// The table is judged before the cabinet is located, by its place and its
// first entry alone: anything else leaves the whole rest of the file
// checked, so a directory that points elsewhere can't hide bytes from it.
static BOOL FindCertificateTable(HANDLE archive, LONGLONG headerEnd, LONGLONG fileSize, CertificateTable* table) {
    uint8_t probe[kImageProbeBytes];
    if (FileSeek(archive, 0, 0, FILE_BEGIN) != 0) return FALSE;
    int read = FileRead(archive, probe, sizeof(probe));
    if (read <= 0 || !CertificateTableFromBytes(probe, (size_t)read, (uint64_t)headerEnd, (uint64_t)fileSize, table))
        return FALSE;
    uint8_t head[kCertificateEntryHead];
    if (FileSeek(archive, (LONG)table->offset, 0, FILE_BEGIN) != (LONGLONG)table->offset) return FALSE;
    return FileRead(archive, head, sizeof(head)) == (int)sizeof(head) && CertificateEntryValid(head, table->size);
}

LONGLONG CheckedRangeEnd(HANDLE archive, LONGLONG headerEnd, LONGLONG fileSize) {
    CertificateTable table;
    LONGLONG end = FindCertificateTable(archive, headerEnd, fileSize, &table) ? (LONGLONG)table.offset : fileSize;
    FileSeek(archive, (LONG)headerEnd, (LONG)(headerEnd >> 32), FILE_BEGIN);
    return end;
}
