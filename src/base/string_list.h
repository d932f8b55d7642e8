// Growable list of owned strings: PathList and ServerList of the state.
#pragma once

#include "base/state.h"

// Returns FALSE when memory for the slot block or the copy runs out; the
// list is then unchanged (empty, should its block fail to lock).
BOOL StringListAdd(StringList* list, const WCHAR* text);
const WCHAR* StringListFirst(StringList* list);
const WCHAR* StringListNext(StringList* list);
int StringListCount(const StringList* list);
void StringListClear(StringList* list);
