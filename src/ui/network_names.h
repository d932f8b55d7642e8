// Servers and disk shares of the Windows network, for the folder-name
// completion. The provider functions come from mpr.dll, loaded from the
// system folder on first use and never imported: a library of that name
// planted beside a downloaded package must not load with the program.
#pragma once

#include "base/state.h"

// Adds each server (\\NAME) of the provider's first domain or workgroup
// whose name begins with prefix (any case; every server when prefix is
// null) to targetList. Failures add nothing and say nothing.
void ListNetworkServers(const WCHAR* prefix, StringList* targetList);

// Adds each disk share (\\NAME\share) of server to G.PathList.
void ListServerShares(const WCHAR* server);
