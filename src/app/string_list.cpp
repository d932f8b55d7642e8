#include "string_list.h"

#include <stdlib.h>
#include <wchar.h>

enum { kFirstSlots = 257, kGrowSlots = 256 };

static WCHAR** LockSlots(HGLOBAL block) { return (WCHAR**)GlobalLock(block); }

BOOL StringListAdd(StringList* list, const WCHAR* text) {
    WCHAR* copy = _wcsdup(text);
    if (!copy) return FALSE;

    if (!list->entries) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kFirstSlots * sizeof(WCHAR*));
        WCHAR** slots = block ? LockSlots(block) : nullptr;
        if (!slots) {
            if (block) GlobalFree(block);
            free(copy);
            return FALSE;
        }
        list->entries = slots;
        list->capacity = kFirstSlots;
    } else if (list->count >= list->capacity) {
        int capacity = list->capacity + kGrowSlots;
        HGLOBAL block = GlobalHandle(list->entries);
        GlobalUnlock(block);
        HGLOBAL grown = GlobalReAlloc(block, capacity * sizeof(WCHAR*), GMEM_MOVEABLE | GMEM_ZEROINIT);
        WCHAR** slots = LockSlots(grown ? grown : block);
        if (!grown || !slots) {
            list->entries = slots;
            free(copy);
            return FALSE;
        }
        // The cursor points into the old block; keep its index.
        if (list->cursor) list->cursor = slots + (list->cursor - list->entries);
        list->entries = slots;
        list->capacity = capacity;
    }
    list->entries[list->count++] = copy;
    return TRUE;
}

const WCHAR* StringListFirst(StringList* list) {
    if (list->count == 0) {
        list->cursor = nullptr;
        return nullptr;
    }
    list->cursor = list->entries;
    return *list->cursor;
}

const WCHAR* StringListNext(StringList* list) {
    if (!list->cursor || list->cursor + 1 >= list->entries + list->count) return nullptr;
    list->cursor++;
    return *list->cursor;
}

int StringListCount(const StringList* list) { return list->count; }

void StringListClear(StringList* list) {
    if (list->entries) {
        HGLOBAL block = GlobalHandle(list->entries);
        for (int i = 0; i < list->count; i++) {
            free(list->entries[i]);
            list->entries[i] = nullptr;
        }
        GlobalUnlock(block);
        GlobalFree(block);
    }
    list->entries = nullptr;
    list->cursor = nullptr;
    list->count = 0;
    list->capacity = 0;
}
