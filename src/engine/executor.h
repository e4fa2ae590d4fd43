// The execution engine: runs a script's start section line by line through the handler
// table, and runs called sections for the CALL-type commands.
#pragma once
#include <cstdint>

#include "engine/script.h"

using CommandHandler = int (*)(ScriptContext* context, const ScriptLine* line);

struct HandlerRow {
  int opcode;
  CommandHandler handler;
};

// The engine's own rows, ended by the default row (opcode 0, UnrecognizedCommand).
extern const HandlerRow HandlerTable[];

// Adds the rows of a command family (ended by a row with opcode 0). Rows added earlier,
// and the engine's own, win for an opcode that appears twice. At most kMaxCommandFamilies
// families: false, and nothing added, past that (the program's own fixed table of families
// is held to the bound when it is compiled).
constexpr int kMaxCommandFamilies = 16;
bool AddHandlerRows(const HandlerRow* rows);
CommandHandler FindHandler(int opcode);

// The rule of the folders that no command may remove or open up (the guard of the rows
// that act on a folder): true for a protected one. The platform's rule knows the machine's
// own system folders; without one, the shape of the path alone decides.
using FolderRule = bool (*)(const char* path);
void SetProtectedFolderRule(FolderRule rule);
// The rows' guard of the line's target: 0, or the line fails with 51 by the handler
// convention. A target that cannot be read (a form fault, an acting text that cannot be
// substituted) is left to the handler, which reports it.
int GuardTarget(ScriptContext* context, const ScriptLine* line);

// Nested sections (CALL, CALLIF, GOTOIF) go at most this deep.
constexpr uint32_t kMaxSectionDepth = 10000;

int ExecuteScript(const char* path, const char* startSection, const char* scriptDir);
int ScriptRun(ScriptContext* context, const char* startSection);
int ExecuteLine(ScriptContext* context, const ScriptLine* line);
// Runs the section `name`; stores its outcome in `variable` when one is given.
int RunSection(ScriptContext* context, const char* name, const char* variable);
// RunSection for a line of a CALL-type command, with the nesting bound.
int RunCalledSection(ScriptContext* context, const ScriptLine* line, const char* name,
                     const char* variable);

int UnrecognizedCommand(ScriptContext* context, const ScriptLine* line);
int NoOperation(ScriptContext* context, const ScriptLine* line);
