// The shell's folders: GETSPECIALDIR, GETSTARTMENUDIR, ADDSTARTMENU and CREATESPECIALDIR.
// The Start Menu is all users' on the NT family and the current user's on the 9x family.
#pragma once
#include <cstddef>

#include "engine/executor.h"

int GetSpecialDirCommand(ScriptContext* context, const ScriptLine* line);
int GetStartMenuDirCommand(ScriptContext* context, const ScriptLine* line);
int AddStartMenuCommand(ScriptContext* context, const ScriptLine* line);
int CreateSpecialDirCommand(ScriptContext* context, const ScriptLine* line);

// The path of a shell folder (CSIDL) into `path`; left unchanged when it cannot be found.
// Program Files falls back to the registry's ProgramFilesDir.
void SpecialFolderPath(int folderId, char* path, size_t size);
// Creates Start Menu\<name>.lnk pointing at `target`; true when the last COM step succeeded
// and the shortcut file is there.
bool CreateStartMenuShortcut(const char* target, const char* name);
// Creates the folder (its last component), or resets an existing one, with one access entry:
// Everyone, full control, not inherited. On the 9x family it only creates it.
bool CreateFolderForEveryone(const char* path);

extern const HandlerRow ShellCommandRows[];
