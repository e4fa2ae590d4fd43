// INI files: GETINIFILEVALUE, SETINIFILEVALUE, FINDINIFILEVALUE and DELETEINIFILESECTION.
// A file named without its folder is looked for along a fixed list of folders.
#pragma once
#include <cstddef>

#include "engine/argument_forms.h"
#include "engine/executor.h"

bool ResolveIniFile(const ScriptContext* context, char* name);

// Rewrites the file without the entries of `section` (its header stays), every line
// trimmed and ended by CR LF, safely (platform/safe_rewrite.h). False, with the file left
// as it was, when it is empty, starts with a byte-order mark, holds a NUL byte, or cannot
// be read or replaced.
bool DeleteIniSection(const char* section, const char* path);

int GetIniFileValueCommand(ScriptContext* context, const ScriptLine* line);
int SetIniFileValueCommand(ScriptContext* context, const ScriptLine* line);
int FindIniFileValueCommand(ScriptContext* context, const ScriptLine* line);
int DeleteIniFileSectionCommand(ScriptContext* context, const ScriptLine* line);

extern const HandlerRow IniCommandRows[];
