// The entries of a folder and the plain-file test, for kivcheck's look at a package folder.
// The Win32 side uses the ANSI functions that every Windows has (the C++ runtime's
// std::filesystem binds wide and Windows 2000 functions that the oldest systems lack); the
// native side uses POSIX. A folder and a name are joined with '/', which both sides take.
#pragma once
#include <string>
#include <vector>

// Appends the names in `folder` (files and folders, without "." and ".."); false when the
// folder cannot be listed.
bool ListFolderEntries(const std::string& folder, std::vector<std::string>* names);

// True for an existing file that is not a folder.
bool IsPlainFile(const std::string& path);
