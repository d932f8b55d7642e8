#include "base/string_list.h"

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
        HGLOBAL block = GlobalHandle(list->entries);
        GlobalUnlock(block);
        HGLOBAL grown =
            GlobalReAlloc(block, (list->capacity + kGrowSlots) * sizeof(WCHAR*), GMEM_MOVEABLE | GMEM_ZEROINIT);
        if (grown) {
            block = grown;
            list->capacity += kGrowSlots;
        }
        // The slot array may have moved; the cursor keeps its index.
        WCHAR** slots = LockSlots(block);
        if (list->cursor) list->cursor = slots ? slots + (list->cursor - list->entries) : nullptr;
        list->entries = slots;
        if (!slots) {
            // A block that can't be locked loses the list: start empty
            // rather than index a missing array.
            GlobalFree(block);
            list->count = 0;
            list->capacity = 0;
        }
        if (!grown || !slots) {
            free(copy);
            return FALSE;
        }
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
