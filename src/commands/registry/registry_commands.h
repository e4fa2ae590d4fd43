// The registry commands: find, read, write, create and delete keys and values. Every key a
// command opens is closed within the command; key paths and most names are used as written.
#pragma once
#include <windows.h>

#include "engine/executor.h"

int FindRegKeyCommand(ScriptContext* context, const ScriptLine* line);
int GetRegValueCommand(ScriptContext* context, const ScriptLine* line);
int SetRegValueCommand(ScriptContext* context, const ScriptLine* line);
int CreateRegKeyCommand(ScriptContext* context, const ScriptLine* line);
int DeleteRegValueCommand(ScriptContext* context, const ScriptLine* line);
int DeleteRegKeyCommand(ScriptContext* context, const ScriptLine* line);
int DeleteEmptyRegKeyCommand(ScriptContext* context, const ScriptLine* line);
int IsRegKeyEmptyCommand(ScriptContext* context, const ScriptLine* line);
int DeleteRegKeyRecursiveCommand(ScriptContext* context, const ScriptLine* line);
int FindRegValueCommand(ScriptContext* context, const ScriptLine* line);

extern const HandlerRow RegistryCommandRows[];
