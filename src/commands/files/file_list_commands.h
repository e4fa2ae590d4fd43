// File lists: COPYFILES and DELFILES run a section whose FILECIO and FILECOW lines name the
// files of an update; copies go from the script's folder to the working folder, deletions
// are made in the working folder.
#pragma once
#include "engine/executor.h"

int CopyFilesCommand(ScriptContext* context, ScriptLine* line);
int DelFilesCommand(ScriptContext* context, ScriptLine* line);

// scriptDir joined with `name` into `path` (260 bytes): 0, or 13 when no such file exists.
int ResolveSourceFile(const ScriptContext* context, const char* name, char* path);
// Copies `source` over `destination`: 0, 9 (source unreadable) or 33 (target in use after
// five attempts a second apart). Without `copyOver` a newer destination is left alone.
int CopyListFile(const char* destination, const char* source, bool copyOver);

extern const HandlerRow FileListCommandRows[];
