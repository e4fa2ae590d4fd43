// System queries and process settings: the working folder, file and system versions, the
// Windows folder, the processor, waits, PATH, administrator rights and time stamps.
#pragma once
#include "engine/executor.h"

int SetWorkDirCommand(ScriptContext* context, const ScriptLine* line);
int GetFileVersionCommand(ScriptContext* context, const ScriptLine* line);
int GetOsTypeCommand(ScriptContext* context, const ScriptLine* line);
int GetOsVersionCommand(ScriptContext* context, const ScriptLine* line);
int GetWindowsDirCommand(ScriptContext* context, const ScriptLine* line);
int StripFileNameCommand(ScriptContext* context, const ScriptLine* line);
int GetProcessorTypeCommand(ScriptContext* context, const ScriptLine* line);
int WaitForTimeCommand(ScriptContext* context, const ScriptLine* line);
int ExtendPathCommand(ScriptContext* context, const ScriptLine* line);
int IsAdminCommand(ScriptContext* context, const ScriptLine* line);
int GetKivrunVersionCommand(ScriptContext* context, const ScriptLine* line);
int GetTimeStampCommand(ScriptContext* context, const ScriptLine* line);

extern const HandlerRow SystemCommandRows[];
