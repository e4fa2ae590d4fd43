// Commands that talk to the host: PROGRESS, STARTUSERAPP, CLOSEUSERAPP, SETFINALSTATUS and
// GETPARAM. Without the host interface a command needs, it does nothing and gives 0.
#pragma once
#include "engine/executor.h"

int ProgressCommand(ScriptContext* context, const ScriptLine* line);
int StartUserAppCommand(ScriptContext* context, const ScriptLine* line);
int CloseUserAppCommand(ScriptContext* context, const ScriptLine* line);
int SetFinalStatusCommand(ScriptContext* context, const ScriptLine* line);
int GetParamCommand(ScriptContext* context, const ScriptLine* line);

extern const HandlerRow HostCommandRows[];
