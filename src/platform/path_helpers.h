// Path helpers of the file, INI and process commands. Paths are held in 260-byte buffers.
#pragma once
#include <cstddef>

// Appends `name` to the folder text in place with exactly one backslash between. When the
// result would not fit below `capacity`, nothing changes and the answer is false. An empty
// folder gives the name as it stands (never a path at the root of the drive).
bool JoinPath(char* folder, size_t capacity, const char* name);

// Creates every folder of `path` that is missing, the last one included; a drive's root
// (the first four characters) is never created. Failures are passed over.
void MakeFolderChain(const char* path);

// True when the path names an existing file (not a folder).
bool FileExists(const char* path);

// The one rule of ISFILELOCKED, WAITTILLUNLOCKED and CANALLFILESBECOPIED: an existing file
// is locked when it is read-only or when another program holds it so that it cannot be
// opened for writing (a sharing or lock violation). A missing file is not locked.
bool IsFileLocked(const char* path);
