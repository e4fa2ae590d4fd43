// Services on the NT family: STOPSERVICE, STARTSERVICE, ISSERVICERUNNING. On the 9x family
// they do nothing.
#pragma once
#include "engine/executor.h"

int StopServiceCommand(ScriptContext* context, const ScriptLine* line);
int StartServiceCommand(ScriptContext* context, const ScriptLine* line);
int IsServiceRunningCommand(ScriptContext* context, const ScriptLine* line);

extern const HandlerRow ServiceCommandRows[];
