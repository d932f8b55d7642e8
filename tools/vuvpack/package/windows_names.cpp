#include "vuvpack/package/windows_names.h"

#include <stdio.h>

#include <map>

#include "base/name_rules.h"
#include "vuvpack/package/windows_case.h"
#include "vuvpack/system/utf_text.h"

static bool IsSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

static std::vector<std::u16string> Components(const std::u16string& name) {
    std::vector<std::u16string> components(1);
    for (char16_t unit : name) {
        if (IsSeparator(unit)) {
            components.emplace_back();
        } else {
            components.back() += unit;
        }
    }
    return components;
}

static std::string CharacterText(char16_t unit) {
    if (unit > 0x20 && unit < 0x7F) return std::string("'") + (char)unit + "'";
    char text[8];
    snprintf(text, sizeof text, "U+%04X", (unsigned)unit);
    return text;
}

// The problems of one component: the file's own name, or a folder's. An
// empty name at the end is the module's mark of a folder entry.
static void AddComponentProblems(const std::u16string& component, bool isFolder, std::vector<std::string>* out) {
    std::string subject = isFolder ? "its folder \"" + Utf16ToUtf8(component) + "\"" : "its name";
    if (component.empty()) {
        if (isFolder)
            out->push_back("an empty folder name (two separators in a row, or one at the start), which the module drops");
        return;
    }
    for (char16_t unit : component) {
        if (!IsRefusedNameCharacter(unit)) continue;
        out->push_back(subject + " holds " + CharacterText(unit) +
                       (unit == 0x2060 ? ", a word joiner, which the module replaces"
                                       : ", which Windows refuses in names"));
        break;
    }
    if (IsDeviceComponent(component.c_str())) {
        std::u16string device = component.substr(0, DeviceNameLength(component.c_str()));
        out->push_back(subject + " is the device " + Utf16ToUtf8(device) + " on Windows");
    }
    if (IsDroppedLeader(component.front())) out->push_back(subject + " starts with a blank, which the module drops");
    if (IsDroppedTrailer(component.back())) {
        out->push_back(subject + (component.back() == u'.' ? " ends with a dot" : " ends with a blank") +
                       ", which Windows drops");
    }
}

static std::string Joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& problem : problems) text += (text.empty() ? "" : "; ") + problem;
    return text;
}

std::string StoredNameRuleProblem(const std::u16string& name) {
    std::vector<std::u16string> components = Components(name);
    std::vector<std::string> problems;
    for (size_t i = 0; i < components.size(); i++) {
        AddComponentProblems(components[i], i + 1 < components.size(), &problems);
    }
    return Joined(problems);
}

// The shown name of a file's folder `levels` up: cut at that separator
// from the end.
static std::string ShownFolder(const std::string& shown, size_t levels) {
    size_t end = shown.size();
    for (size_t i = 0; i < levels && end != std::string::npos && end > 0; i++) end = shown.find_last_of("/\\", end - 1);
    return end == std::string::npos ? shown : shown.substr(0, end);
}

static const char kEqualButForCase[] = " (the names are equal when case is ignored)";

struct FolderSeen {
    size_t file;    // a file inside the folder
    size_t levels;  // how far up from that file
};

std::vector<NameProblem> WindowsNameProblems(const std::vector<NamedFile>& files) {
    std::vector<std::vector<std::string>> problems(files.size());
    std::map<std::u16string, std::vector<size_t>> byKey;
    std::map<std::u16string, FolderSeen> folders;
    for (size_t i = 0; i < files.size(); i++) {
        std::string ruleProblem = StoredNameRuleProblem(files[i].name);
        if (!ruleProblem.empty()) problems[i].push_back(ruleProblem);
        std::vector<std::u16string> components = Components(files[i].name);
        std::u16string key;
        for (size_t c = 0; c < components.size(); c++) {
            if (c > 0) {
                folders.emplace(key, FolderSeen{i, components.size() - c});
                key += u'\\';
            }
            key += WindowsCaseKey(components[c]);
        }
        byKey[key].push_back(i);
    }
    for (const auto& entry : byKey) {
        const std::vector<size_t>& same = entry.second;
        for (size_t k = 0; same.size() > 1 && k < same.size(); k++) {
            size_t other = same[k == 0 ? 1 : 0];
            problems[same[k]].push_back("Windows takes it for " + files[other].shown + kEqualButForCase);
        }
        auto folder = folders.find(entry.first);
        if (folder == folders.end()) continue;
        std::string shownFolder = ShownFolder(files[folder->second.file].shown, folder->second.levels);
        for (size_t index : same) {
            problems[index].push_back("Windows takes it for the folder " + shownFolder + kEqualButForCase);
        }
    }
    std::vector<NameProblem> found;
    for (size_t i = 0; i < files.size(); i++) {
        if (!problems[i].empty()) found.push_back(NameProblem{i, Joined(problems[i])});
    }
    return found;
}
