// File and folder helpers for tests that run under Wine.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A fresh folder under the temporary folder, removed with its contents by
// the destructor. path() ends with a backslash.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

// A folder for the folder browser's tests outside the temporary folder,
// where the tests running at the same time create and delete folders:
// Wine's browser walks its tree item by item to select a path, and a
// change in a folder on the way stops the walk short of the target.
// Removed with its contents by the destructor; path() ends with a
// backslash.
class QuietFolder {
public:
    QuietFolder();
    ~QuietFolder();
    QuietFolder(const QuietFolder&) = delete;
    QuietFolder& operator=(const QuietFolder&) = delete;
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

// A fresh folder on a network share, \\vuv-server\share-<process>-<n>\:
// Wine takes a UNC path's server and share from the prefix's
// dosdevices\unc folder, which the constructor fills through drive Z:.
// Removed with its contents by the destructor; path() ends with a
// backslash.
class NetworkShare {
public:
    NetworkShare();
    ~NetworkShare();
    NetworkShare(const NetworkShare&) = delete;
    NetworkShare& operator=(const NetworkShare&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
    std::wstring local_;  // the same folder through drive Z:
};

void WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes);
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::vector<unsigned char> ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
void RemoveTree(const std::wstring& path);

// Every file and folder below root (relative names, sorted), to show that a
// run wrote nothing where it should not.
std::vector<std::wstring> ListTree(const std::wstring& root);

// Windows path of a file in the build folder (for fixtures made there).
std::wstring BuildPath(const std::string& relative);
// The module this build made: vuvuzu.exe, or vuvuzu64.exe in a 64-bit build.
std::wstring StubPath();
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

// size bytes of a fixed pseudo-random pattern; one seed, one pattern.
std::string PatternBytes(size_t size, unsigned seed);
// The system's text for CO_E_PATHTOOLONG, or the engine's fixed fallback
// "Unknown error -2147417803" where the system has none (Wine).
std::wstring PathTooLongText();
