// The flow-control commands and plain variables: SET, CALL, CALLIF, GOTOIF, RETURN,
// RETURNIF, CONTINUEIF.
#pragma once
#include <cstddef>

#include "engine/script.h"

int SetCommand(ScriptContext* context, const ScriptLine* line);
int CallCommand(ScriptContext* context, const ScriptLine* line);
int CallIfCommand(ScriptContext* context, const ScriptLine* line);
int GotoIfCommand(ScriptContext* context, const ScriptLine* line);
int ContinueIfCommand(ScriptContext* context, const ScriptLine* line);

constexpr size_t kReturnValueChars = 260;

// RETURN and RETURNIF run inside the section runner, which stores `value`.
// ReturnCommand always gives 0; ReturnIfCommand gives 0 (value set), 41 (go on), 28 or 51.
int ReturnCommand(ScriptContext* context, const ScriptLine* line, char* value);
int ReturnIfCommand(ScriptContext* context, const ScriptLine* line, char* value);
