// File lists: COPYFILES and DELFILES run a section whose FILECIO and FILECOW lines name the
// files of an update; copies go from the script's folder to the working folder, deletions
// are made in the working folder.
#pragma once
#include "engine/executor.h"
#include "platform/win32_handles.h"

int CopyFilesCommand(ScriptContext* context, const ScriptLine* line);
int DelFilesCommand(ScriptContext* context, const ScriptLine* line);

// Copies `source` over `destination`: 0, 9 (source unreadable: `sourceFile` did not open),
// 13 (the source has gone), 33 (target in use after five attempts a second apart) or 12 (the
// target cannot be written for another reason). Without `copyOver` a newer destination is
// left alone. `sourceFile` (the source opened for reading) is closed before the copy.
int CopyListFile(const char* destination, const char* source, KernelHandle* sourceFile, bool copyOver);
// The copy of CopyListFile alone: up to five attempts a second apart while the target is in
// use; 0, 12, 13 or 33. With `clearAttributes` a read-only target is overwritten.
int CopyWithRetries(const char* source, const char* destination, bool clearAttributes = false);
// One copy over any existing destination: 0; 33 when the target is in use (a sharing, lock
// or access failure, or a mapped file); 13 when the source has gone; else 12.
int CopyFileOnce(const char* source, const char* destination);

extern const HandlerRow FileListCommandRows[];
