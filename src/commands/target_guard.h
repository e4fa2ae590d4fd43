// The targets that no command may destroy or open up, whatever a script says: which folders
// REMOVEDIR, REMOVEDIRRECURSIVE and CREATESPECIALDIR refuse, and which keys the registry
// deletes refuse. A refused target fails the line with 51 and nothing is changed.
#pragma once
#include "engine/argument_forms.h"  // IsRootOnlyKeyPath
#include "engine/script.h"

// True for a folder that must never be removed or have its access list replaced: an empty
// path, a relative or drive-less path (\sub, sub, C:sub), a device path (\\?\, \\.\), a
// drive root (C:, C:\), a network share's root (\\server\share), and the Windows folder,
// the system folder and the Program Files folder themselves (by any spelling that names
// them: other case, trailing backslash, "..", short names).
bool IsProtectedFolder(const char* path);


// The guards the commands call: 0, or the line fails with 51 by the handler convention.
int GuardFolderTarget(ScriptContext* context, const ScriptLine* line, const char* path);
int GuardRegistryKeyTarget(ScriptContext* context, const ScriptLine* line, const char* keyPath);
