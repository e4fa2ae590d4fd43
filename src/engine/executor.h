// The execution engine: runs a script's start section line by line through the handler
// table, and runs called sections for the CALL-type commands.
#pragma once
#include <cstdint>

#include "engine/script.h"

using CommandHandler = int (*)(ScriptContext* context, ScriptLine* line);

struct HandlerRow {
  int opcode;
  CommandHandler handler;
};

// The engine's own rows, ended by the default row (opcode 0, UnrecognizedCommand).
extern const HandlerRow HandlerTable[];

// Adds the rows of a command family (ended by a row with opcode 0). Rows added earlier,
// and the engine's own, win for an opcode that appears twice.
void AddHandlerRows(const HandlerRow* rows);
CommandHandler FindHandler(int opcode);

// Nested sections (CALL, CALLIF, GOTOIF) go at most this deep.
constexpr uint32_t kMaxSectionDepth = 10000;

int ExecuteScript(const char* path, const char* startSection, const char* scriptDir);
int ScriptRun(ScriptContext* context, const char* startSection);
int ExecuteLine(ScriptContext* context, ScriptLine* line);
// Runs the section `name`; stores its outcome in `variable` when one is given.
int RunSection(ScriptContext* context, const char* name, const char* variable);
// RunSection for a line of a CALL-type command, with the nesting bound.
int RunCalledSection(ScriptContext* context, const ScriptLine* line, const char* name,
                     const char* variable);

int UnrecognizedCommand(ScriptContext* context, ScriptLine* line);
int NoOperation(ScriptContext* context, ScriptLine* line);
