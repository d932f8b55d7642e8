// Stored names that Windows can't hold as they are: names the module would
// rewrite (the rules of base/name_rules.h), and names that Windows takes
// for another name of the same cabinet, comparing without case.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

struct NamedFile {
    std::u16string name;  // stored: components between backslashes (or slashes, which the module takes alike)
    std::string shown;    // what messages call it; its folders are cut from its end
};

struct NameProblem {
    size_t index;         // of the file in the list
    std::string problem;  // every problem of its name, "; " between them
};

// What the module would change in one stored name; "" when nothing.
std::string StoredNameRuleProblem(const std::u16string& name);

// The files whose names break a rule, or that Windows takes for another
// file of the list or for a folder of one, in the list's order.
std::vector<NameProblem> WindowsNameProblems(const std::vector<NamedFile>& files);
