// Programs and windows: RUN, RUNWAIT, RUNHIDE, SHELLEXECUTE, CLOSEAPP, WAITFORWINDOWCLOSE,
// KILLPROCESS, ISPROCESSRUNNING and ISAPPRUNNING.
#pragma once
#include <windows.h>

#include "engine/executor.h"

int RunCommand(ScriptContext* context, const ScriptLine* line);
int RunWaitCommand(ScriptContext* context, const ScriptLine* line);
int RunHideCommand(ScriptContext* context, const ScriptLine* line);
int ShellExecuteCommand(ScriptContext* context, const ScriptLine* line);
int CloseAppCommand(ScriptContext* context, const ScriptLine* line);
int WaitForWindowCloseCommand(ScriptContext* context, const ScriptLine* line);
int KillProcessCommand(ScriptContext* context, const ScriptLine* line);
int IsProcessRunningCommand(ScriptContext* context, const ScriptLine* line);
int IsAppRunningCommand(ScriptContext* context, const ScriptLine* line);

// Starts a command line with a show mode; with `wait`, until the program ends (windows
// served meanwhile), else until it is idle (at most 1 s). Failures are logged; gives 0.
int StartProgram(const char* commandLine, WORD showMode, bool wait);

// A top-level window whose class, or failing that whose title, is `name`.
HWND FindWindowByName(const char* name);

extern const HandlerRow ProcessCommandRows[];
