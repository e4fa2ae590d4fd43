// Restarting Windows after an update: SETREBOOTFLAG leaves a marker that a restart is
// pending, PROMPTREBOOT asks whether to restart now and starts it on Yes.
#pragma once
#include "engine/executor.h"

int SetRebootFlagCommand(ScriptContext* context, const ScriptLine* line);
int PromptRebootCommand(ScriptContext* context, const ScriptLine* line);

// The Windows folder followed by \Vorna\Agent\Reboot.ini (260 bytes); false when it does not fit.
bool RebootMarkerPath(char* path);

extern const HandlerRow RebootCommandRows[];
