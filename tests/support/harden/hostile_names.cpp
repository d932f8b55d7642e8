#include "support/harden/hostile_names.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "base/state.h"
#include "support/answer_box.h"
#include "support/cab_writer.h"
#include "support/extract/engine_run.h"
#include "support/test_files.h"

namespace {

std::string Replace(std::string text, const std::string& token) {
    for (size_t at = text.find('#'); at != std::string::npos; at = text.find('#', at + token.size()))
        text.replace(at, 1, token);
    return text;
}

std::wstring Replace(std::wstring text, const std::wstring& token) {
    for (size_t at = text.find(L'#'); at != std::wstring::npos; at = text.find(L'#', at + token.size()))
        text.replace(at, 1, token);
    return text;
}

// Entries of folder (not recursive) whose name holds the token.
void FindToken(const std::wstring& folder, const std::wstring& token, std::vector<std::wstring>* found) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (std::wstring(data.cFileName).find(token) != std::wstring::npos) found->push_back(folder + data.cFileName);
    } while (FindNextFileW(search, &data));
    FindClose(search);
}

std::wstring Printable(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += (char)c;
        } else {
            char hex[12];
            snprintf(hex, sizeof(hex), "<%04X>", (unsigned)c);
            out += hex;
        }
    }
    return Widen(out);
}

}  // namespace

std::string HostileToken() { return "vh" + std::to_string(GetCurrentProcessId()); }

HostileOutcome ExtractHostileName(const std::string& stored) {
    HostileOutcome outcome;
    TempFolder temp;
    std::wstring destination = temp / L"a\\b\\c\\out\\";
    CreateDirectoryW((temp / L"a").c_str(), nullptr);
    CreateDirectoryW((temp / L"a\\b").c_str(), nullptr);
    CreateDirectoryW((temp / L"a\\b\\c").c_str(), nullptr);
    std::vector<std::wstring> before = ListTree(temp.path());

    CabContents contents;
    contents.files = {{stored, "hostile"}, {"after.txt", "after"}};
    G.AbortCode = 0;
    G.RunIncomplete = FALSE;
    G.KnownOutputFolder[0] = 0;
    {
        BoxAnswerer answerer;
        outcome.exitCode = ExtractOnThisThread(temp / L"hostile.cab", BuildCabinet(contents), 0, destination);
        for (const SeenBox& box : answerer.Stop()) outcome.boxes.push_back(box.text);
    }

    const std::wstring prefix = L"a\\b\\c\\out\\";
    for (const std::wstring& entry : ListTree(temp.path())) {
        if (entry.compare(0, prefix.size(), prefix) == 0) {
            if (entry.size() > prefix.size()) outcome.landed.push_back(entry.substr(prefix.size()));
        } else if (entry != L"hostile.cab" && entry != L"a\\b\\c\\out\\" &&
                   std::find(before.begin(), before.end(), entry) == before.end()) {
            outcome.strays.push_back(temp.path() + entry);
        }
    }
    // Absolute and rooted targets: the token anywhere near the usual roots.
    std::wstring token = Widen(HostileToken());
    WCHAR tempRoot[MAX_PATH], profile[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, tempRoot);
    GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    for (std::wstring root : {std::wstring(tempRoot), std::wstring(L"C:\\"), std::wstring(L"Z:\\"),
                              std::wstring(L"Z:\\tmp\\"), std::wstring(profile) + L"\\"})
        FindToken(root, token, &outcome.strays);
    return outcome;
}

void ExpectHostileCase(const HostileCase& row) {
    std::string token = HostileToken();
    std::wstring wideToken = Widen(token);
    HostileOutcome outcome = ExtractHostileName(Replace(row.stored, token));

    std::vector<std::wstring> landed;
    for (const std::wstring& entry : row.landed) landed.push_back(Replace(entry, wideToken));
    if (!row.stops) landed.push_back(L"after.txt");
    std::sort(landed.begin(), landed.end());

    std::vector<std::wstring> printableLanded, printableExpected;
    for (const std::wstring& entry : outcome.landed) printableLanded.push_back(Printable(entry));
    for (const std::wstring& entry : landed) printableExpected.push_back(Printable(entry));
    EXPECT_EQ(printableExpected, printableLanded) << row.what;
    EXPECT_EQ(row.stops ? -1 : 0, outcome.exitCode) << row.what;
    std::vector<std::wstring> boxes;
    for (const std::wstring& box : row.boxes) boxes.push_back(Printable(Replace(box, wideToken)));
    std::vector<std::wstring> seen;
    for (const std::wstring& box : outcome.boxes) seen.push_back(Printable(box));
    EXPECT_EQ(boxes, seen) << row.what;
    for (const std::wstring& stray : outcome.strays) ADD_FAILURE() << row.what << ": outside: " << Narrow(stray);
}
