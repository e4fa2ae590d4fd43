// Loading a script: the whole file read into memory, scanned once into sections of
// command lines, and released again by ScriptClose.
#pragma once
#include <cstddef>

#include "engine/script.h"

// Opens `path`, parses it and finds `startSection`. On 0 `*context` is the new context,
// or nullptr when no start section was named (nothing is to run).
int ScriptOpen(const char* path, const char* startSection, const char* scriptDir,
               ScriptContext** context);
// Loads and parses `path` without looking for a start section (the checker's view of a
// script). `*context` holds what was parsed, up to the failing line when the result is not
// 0; nullptr when the file gave no text. The caller closes it.
int ScriptParseFile(const char* path, ScriptContext** context);
// Reads the whole file into a zero-terminated heap buffer.
int LoadScript(const char* path, char** buffer);
int ParseScript(ScriptContext* context, const char* text);
int ParseSectionHeader(ScriptContext* context, const char* text, size_t* position);
int ParseCommandLine(ScriptContext* context, const char* text, size_t* position);
void ReadArgumentText(const char* text, size_t* position, ScriptLine* line);
ScriptSection* FindSection(const RecordList* sections, const char* name);
void ScriptClose(ScriptContext* context);
