#include "driver.h"

#include "../../res/resource.h"
#include "extract/output_path.h"
#include "extraction_phase.h"
#include "messages.h"
#include "package.h"
#include "paths.h"
#include "state.h"
#include "string_list.h"

// Archive mode with an absolute destination (or the archive's folder), no
// dialog: enough to extract a cabinet or a package named on the command
// line. The header step, the destination dialog and its resolution rules
// and the actions after the extraction are still to come.
void RunExtraction(WCHAR* archivePath) {
    if (G.archivePathRefused) {
        ShowStringBox(nullptr, IDS_CANNOT_OPEN_ARCHIVE, MB_ICONERROR);
        return;
    }
    if (!archivePath[0]) return;

    G.ArchivePath = archivePath;
    LONG archiveSize = LocateCabinet(archivePath, INVALID_HANDLE_VALUE);
    if (archiveSize == -1) {
        ShowStringBox(nullptr, IDS_CANNOT_OPEN_ARCHIVE, MB_ICONERROR);
        return;
    }
    if (G.CabinetOffset == -1) {
        ShowStringBox(nullptr, IDS_UNSUPPORTED_FORMAT, MB_ICONERROR);
        return;
    }

    SplitPath(G.ArchivePath, G.archiveFolder, nullptr);
    WCHAR* destination = G.RunSettings.destination;
    if (!destination[0]) lstrcpynW(destination, G.archiveFolder, MAX_PATH);
    SlashesToBackslashes(destination);
    TrimTrailingBlanks(destination);
    AddTrailingBackslash(destination, MAX_PATH);
    if (GetFileAttributesW(destination) == INVALID_FILE_ATTRIBUTES) {
        if (!G.RunSettings.OverwriteAll &&
            ShowFormattedBox(nullptr, IDS_CREATE_FOLDER_QUESTION, destination, kCaption, MB_ICONQUESTION | MB_OKCANCEL) !=
                IDOK)
            return;
        if (!CreateFolderPath(destination)) {
            ShowStringBox(nullptr, IDS_CANNOT_CREATE_FOLDER, MB_ICONERROR);
            return;
        }
    }
    RunExtractionPhase(archiveSize);
    StringListClear(&G.PathList);
}
