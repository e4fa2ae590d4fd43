// The folders that no command may destroy or open up, whatever a script says. The rows of
// REMOVEDIR, REMOVEDIRRECURSIVE and CREATESPECIALDIR name this rule as their guard, and the
// executor applies it before their handlers run (the registry deletes' guard, a root key
// alone, is portable and lives with the rows). A refused target fails the line with 51 and
// nothing is changed.
#pragma once

// True for a folder that must never be removed or have its access list replaced: every
// path that is no folder by its shape (empty, relative or drive-less, a device path, a
// drive or share root: engine/path_shape.h), one too long to name, and the Windows
// folder, the system folder and the Program Files folder themselves (by any spelling that
// names them: other case, trailing backslash, "..", short names).
bool IsProtectedFolder(const char* path);
