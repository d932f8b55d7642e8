#include "cabinet_summary.h"

#include <algorithm>

#include <libgcab.h>

static const char* CompressionName(int type) {
    switch (type & GCAB_COMPRESSION_MASK) {
    case GCAB_COMPRESSION_NONE: return "none";
    case GCAB_COMPRESSION_MSZIP: return "MSZIP";
    case GCAB_COMPRESSION_QUANTUM: return "Quantum";
    case GCAB_COMPRESSION_LZX: return "LZX";
    default: return "unknown";
    }
}

static void AddFolder(GCabFolder* folder, CabinetSummary* summary) {
    std::string name = CompressionName(gcab_folder_get_comptype(folder));
    if (std::find(summary->compression.begin(), summary->compression.end(), name) == summary->compression.end()) {
        summary->compression.push_back(name);
    }
    GSList* files = gcab_folder_get_files(folder);
    for (GSList* item = files; item; item = item->next) {
        summary->files++;
        summary->totalBytes += gcab_file_get_size(GCAB_FILE(item->data));
    }
    g_slist_free(files);
}

bool SummarizeCabinet(const std::string& path, uint64_t offset, CabinetSummary* summary, std::string* problem) {
    *summary = CabinetSummary();
    GFile* file = g_file_new_for_path(path.c_str());
    GCabCabinet* cabinet = gcab_cabinet_new();
    GError* failure = nullptr;
    GFileInputStream* stream = g_file_read(file, nullptr, &failure);
    bool ok = stream && g_seekable_seek(G_SEEKABLE(stream), (goffset)offset, G_SEEK_SET, nullptr, &failure) &&
              gcab_cabinet_load(cabinet, G_INPUT_STREAM(stream), nullptr, &failure);
    if (ok) {
        GPtrArray* folders = gcab_cabinet_get_folders(cabinet);
        summary->size = gcab_cabinet_get_size(cabinet);
        summary->folders = folders->len;
        for (guint i = 0; i < folders->len; i++) AddFolder(GCAB_FOLDER(g_ptr_array_index(folders, i)), summary);
    } else {
        *problem = failure ? failure->message : "can't be read";
        if (failure) g_error_free(failure);
    }
    if (stream) g_object_unref(stream);
    g_object_unref(cabinet);
    g_object_unref(file);
    return ok;
}
