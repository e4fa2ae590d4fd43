// System queries and process settings: the working folder, file and system versions, the
// Windows folder, the processor, waits, PATH, administrator rights and time stamps.
#pragma once
#include "engine/executor.h"

int SetWorkDirCommand(ScriptContext* context, ScriptLine* line);
int GetFileVersionCommand(ScriptContext* context, ScriptLine* line);
int GetOsTypeCommand(ScriptContext* context, ScriptLine* line);
int GetOsVersionCommand(ScriptContext* context, ScriptLine* line);
int GetWindowsDirCommand(ScriptContext* context, ScriptLine* line);
int StripFileNameCommand(ScriptContext* context, ScriptLine* line);
int GetProcessorTypeCommand(ScriptContext* context, ScriptLine* line);
int WaitForTimeCommand(ScriptContext* context, ScriptLine* line);
int ExtendPathCommand(ScriptContext* context, ScriptLine* line);
int IsAdminCommand(ScriptContext* context, ScriptLine* line);
int GetKivrunVersionCommand(ScriptContext* context, ScriptLine* line);
int GetTimeStampCommand(ScriptContext* context, ScriptLine* line);

extern const HandlerRow SystemCommandRows[];
