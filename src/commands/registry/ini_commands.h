// INI files: GETINIFILEVALUE, SETINIFILEVALUE, FINDINIFILEVALUE and DELETEINIFILESECTION.
// A file named without its folder is looked for along a fixed list of folders.
#pragma once
#include <cstddef>

#include "engine/executor.h"

struct IniReadArgs {  // VAR=file,section,key
  char variable[kPathChars];
  char file[kPathChars];
  char section[kPathChars];
  char key[kPathChars];
};
// 0; 23 without "=", 27 without "," after the file, 26 without "," after the section,
// 25 when the key is too long.
int ParseIniReadArgs(const char* text, IniReadArgs* args);

struct IniWriteArgs {  // file,section,key=value
  char file[kPathChars];
  char section[kPathChars];
  char key[kPathChars];
  char value[kPathChars];
};
// 0; 27, 26 as above, 25 without "=" after the key, 24 when the value is too long.
int ParseIniWriteArgs(const char* text, IniWriteArgs* args);

// Looks the file up: as named, in workDir, in the current folder, the Windows folder, the
// system folder, then along the search path. True with `name` replaced by the path found.
bool ResolveIniFile(const ScriptContext* context, char* name);

// Rewrites the file without the entries of `section` (its header stays), every line
// trimmed and ended by CR LF, safely (platform/safe_rewrite.h). False, with the file left
// as it was, when it is empty, starts with a byte-order mark, holds a NUL byte, or cannot
// be read or replaced.
bool DeleteIniSection(const char* section, const char* path);

int GetIniFileValueCommand(ScriptContext* context, ScriptLine* line);
int SetIniFileValueCommand(ScriptContext* context, ScriptLine* line);
int FindIniFileValueCommand(ScriptContext* context, ScriptLine* line);
int DeleteIniFileSectionCommand(ScriptContext* context, ScriptLine* line);

extern const HandlerRow IniCommandRows[];
