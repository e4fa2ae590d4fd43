// INSTALLCAB and RESETLASTUPDATE: CAB packages installed by the CAB installer component,
// with its progress passed on to the host and its outcome in a variable and the final status.
#pragma once
#include "engine/executor.h"

int InstallCabCommand(ScriptContext* context, const ScriptLine* line);
int ResetLastUpdateCommand(ScriptContext* context, const ScriptLine* line);

extern const HandlerRow CabCommandRows[];
