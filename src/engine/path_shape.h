// The shape of a folder path as written, decided without asking the file system: the one
// classification that the run's guard of protected folders and the checker both use. The
// guard then asks the machine which folders are its Windows, system and Program Files
// folders; the checker knows their usual names.
#pragma once
#include <cstddef>

enum class PathShape {
  kFolder,     // X:\folder... or \\server\share\folder...: one place whatever the working folder is
  kEmpty,      // nothing but blanks
  kRelative,   // sub, \sub, C:sub: depends on the working folder or drive
  kDevice,     // \\?\... or \\.\...: no folder a script removes
  kDriveRoot,  // C:\ (or a path that comes back to it: C:\a\..)
  kShareRoot,  // \\server or \\server\share
};

// Classifies `path` (trimmed first). A drive is a letter A-Z (either case) with ":" and a
// separator; "\" and "/" both separate. "." and empty components are dropped and ".." takes
// the one before it back (never past the root); trailing dots and blanks of a component go,
// as Windows drops them. `normal` (when given, `size` bytes) receives the normalised path:
// the root ("C:" or "\\server\share") and the components joined by "\", without a trailing
// one; cut to fit.
PathShape ClassifyFolderPath(const char* path, char* normal = nullptr, size_t size = 0);

// Words for a shape that is no folder ("a drive root", ...); "" for kFolder.
const char* PathShapeText(PathShape shape);
