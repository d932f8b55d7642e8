#include "ui/network_names.h"

#include <wchar.h>

#include "base/string_list.h"
#include "base/system_library.h"

// One enumeration result at a time; an entry that needs more ends the
// enumeration (ERROR_MORE_DATA), as any other nonzero answer does.
enum { kEnumBufferBytes = 2048 };

static BOOL BindNetworkFunctions(void) {
    NetworkFunctions* net = &G.Network;
    if (net->closeEnum) return TRUE;
    if (!net->library) net->library = LoadSystemLibrary(L"\\mpr.dll");
    if (!net->library) return FALSE;
    net->openEnum = (NetworkFunctions::OpenEnumFn)(void*)GetProcAddress(net->library, "WNetOpenEnumW");
    net->enumResource = (NetworkFunctions::EnumResourceFn)(void*)GetProcAddress(net->library, "WNetEnumResourceW");
    net->closeEnum = (NetworkFunctions::CloseEnumFn)(void*)GetProcAddress(net->library, "WNetCloseEnum");
    if (net->openEnum && net->enumResource && net->closeEnum) return TRUE;
    net->closeEnum = nullptr;
    return FALSE;
}

static void PrepareContainer(NETRESOURCEW* record, WCHAR* remoteName) {
    ZeroMemory(record, sizeof(*record));
    record->dwScope = RESOURCE_GLOBALNET;
    record->dwType = RESOURCETYPE_ANY;
    record->dwDisplayType = RESOURCEDISPLAYTYPE_DOMAIN;
    record->dwUsage = RESOURCEUSAGE_CONTAINER;
    record->lpRemoteName = remoteName;
    record->lpProvider = (WCHAR*)L"Microsoft Windows Network";
}

static HANDLE OpenDiskEnumeration(NETRESOURCEW* record) {
    HANDLE enumeration = nullptr;
    if (G.Network.openEnum(RESOURCE_GLOBALNET, RESOURCETYPE_DISK, 0, record, &enumeration) != NO_ERROR)
        return nullptr;
    return enumeration;
}

// The next entry of the enumeration in buffer, or null at its end or on
// any failure.
static const NETRESOURCEW* NextEntry(HANDLE enumeration, void* buffer) {
    DWORD count = 1;
    DWORD size = kEnumBufferBytes;
    if (G.Network.enumResource(enumeration, &count, buffer, &size) != NO_ERROR || count != 1) return nullptr;
    return (const NETRESOURCEW*)buffer;
}

// Adds the remote name of every further entry that begins with prefix
// (all when prefix is null) to list, then closes the enumeration.
static void AddRemoteNames(HANDLE enumeration, void* buffer, const WCHAR* prefix, StringList* list) {
    int prefixLength = prefix ? lstrlenW(prefix) : 0;
    for (const NETRESOURCEW* entry; (entry = NextEntry(enumeration, buffer));) {
        const WCHAR* name = entry->lpRemoteName;
        if (!name) continue;
        if (prefix && _wcsnicmp(name, prefix, prefixLength) != 0) continue;
        StringListAdd(list, name);
    }
    G.Network.closeEnum(enumeration);
}

void ListNetworkServers(const WCHAR* prefix, StringList* targetList) {
    if (!BindNetworkFunctions()) return;
    void* buffer = GlobalAlloc(GMEM_FIXED, kEnumBufferBytes);
    if (!buffer) return;

    // Only the provider's first domain or workgroup is searched.
    WCHAR domain[MAX_PATH] = L"";
    NETRESOURCEW record;
    PrepareContainer(&record, nullptr);
    HANDLE enumeration = OpenDiskEnumeration(&record);
    if (!enumeration) goto done;
    {
        const NETRESOURCEW* first = NextEntry(enumeration, buffer);
        // A cut name would name another container: refuse it.
        if (first && first->lpRemoteName && lstrlenW(first->lpRemoteName) < MAX_PATH)
            lstrcpynW(domain, first->lpRemoteName, MAX_PATH);
    }
    G.Network.closeEnum(enumeration);
    if (!domain[0]) goto done;

    record.lpRemoteName = domain;
    enumeration = OpenDiskEnumeration(&record);
    if (enumeration) AddRemoteNames(enumeration, buffer, prefix, targetList);
done:
    GlobalFree(buffer);
}

void ListServerShares(const WCHAR* server) {
    if (!BindNetworkFunctions()) return;
    void* buffer = GlobalAlloc(GMEM_FIXED, kEnumBufferBytes);
    if (!buffer) return;

    NETRESOURCEW record;
    PrepareContainer(&record, (WCHAR*)server);
    HANDLE enumeration = OpenDiskEnumeration(&record);
    if (enumeration) AddRemoteNames(enumeration, buffer, nullptr, &G.PathList);
    GlobalFree(buffer);
}
