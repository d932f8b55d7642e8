// A fake network provider in the state's NetworkFunctions, so that the
// completion's server and share logic runs against a known network: two
// domains, DOMAIN1 with the servers \\ALPHA (shares docs, tools) and
// \\BRAVO (share data), DOMAIN2 with \\CHARLIE. Failures on demand.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/state.h"

struct FakeNetwork {
    DWORD openResult = NO_ERROR;  // what every open answers
    int moreDataAt = -1;          // the entry (0-based, any enumeration) answered ERROR_MORE_DATA
    int opened = 0;
    int closed = 0;
    std::vector<std::wstring> openedContainers;  // remote names opened ("" for the top)
};

inline FakeNetwork fakeNetwork;

struct FakeEnumeration {
    std::vector<std::wstring> names;
    size_t next = 0;
};

inline const std::map<std::wstring, std::vector<std::wstring>>& FakeContainers() {
    static const std::map<std::wstring, std::vector<std::wstring>> containers = {
        {L"", {L"DOMAIN1", L"DOMAIN2"}},
        {L"DOMAIN1", {L"\\\\ALPHA", L"\\\\BRAVO"}},
        {L"DOMAIN2", {L"\\\\CHARLIE"}},
        {L"\\\\ALPHA", {L"\\\\ALPHA\\docs", L"\\\\ALPHA\\tools"}},
        {L"\\\\BRAVO", {L"\\\\BRAVO\\data"}},
        {L"\\\\CHARLIE", {L"\\\\CHARLIE\\c"}},
    };
    return containers;
}

inline DWORD WINAPI FakeOpenEnum(DWORD, DWORD, DWORD, NETRESOURCEW* record, HANDLE* enumeration) {
    std::wstring container = record && record->lpRemoteName ? record->lpRemoteName : L"";
    fakeNetwork.openedContainers.push_back(container);
    if (fakeNetwork.openResult != NO_ERROR) return fakeNetwork.openResult;
    auto found = FakeContainers().find(container);
    if (found == FakeContainers().end()) return ERROR_BAD_NET_NAME;
    fakeNetwork.opened++;
    *enumeration = (HANDLE)new FakeEnumeration{found->second};
    return NO_ERROR;
}

inline DWORD WINAPI FakeEnumResource(HANDLE handle, DWORD* count, void* buffer, DWORD* size) {
    FakeEnumeration* enumeration = (FakeEnumeration*)handle;
    if (enumeration->next == enumeration->names.size()) return ERROR_NO_MORE_ITEMS;
    if (fakeNetwork.moreDataAt-- == 0) return ERROR_MORE_DATA;
    const std::wstring& name = enumeration->names[enumeration->next++];
    NETRESOURCEW* entry = (NETRESOURCEW*)buffer;
    ZeroMemory(entry, sizeof(*entry));
    WCHAR* text = (WCHAR*)(entry + 1);
    if (sizeof(*entry) + (name.size() + 1) * sizeof(WCHAR) > *size) return ERROR_MORE_DATA;
    lstrcpyW(text, name.c_str());
    entry->lpRemoteName = text;
    *count = 1;
    return NO_ERROR;
}

inline DWORD WINAPI FakeCloseEnum(HANDLE handle) {
    fakeNetwork.closed++;
    delete (FakeEnumeration*)handle;
    return NO_ERROR;
}

// Binds the fake; the real provider library is then never loaded.
inline void UseFakeNetwork() {
    fakeNetwork = FakeNetwork();
    G.Network.openEnum = FakeOpenEnum;
    G.Network.enumResource = FakeEnumResource;
    G.Network.closeEnum = FakeCloseEnum;
}
