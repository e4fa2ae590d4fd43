// Programs and windows: RUN, RUNWAIT, RUNHIDE, SHELLEXECUTE, CLOSEAPP, WAITFORWINDOWCLOSE,
// KILLPROCESS, ISPROCESSRUNNING and ISAPPRUNNING.
#pragma once
#include <windows.h>

#include "engine/executor.h"

int RunCommand(ScriptContext* context, ScriptLine* line);
int RunWaitCommand(ScriptContext* context, ScriptLine* line);
int RunHideCommand(ScriptContext* context, ScriptLine* line);
int ShellExecuteCommand(ScriptContext* context, ScriptLine* line);
int CloseAppCommand(ScriptContext* context, ScriptLine* line);
int WaitForWindowCloseCommand(ScriptContext* context, ScriptLine* line);
int KillProcessCommand(ScriptContext* context, ScriptLine* line);
int IsProcessRunningCommand(ScriptContext* context, ScriptLine* line);
int IsAppRunningCommand(ScriptContext* context, ScriptLine* line);

// Starts a command line with a show mode; with `wait`, until the program ends (windows
// served meanwhile), else until it is idle (at most 1 s). Failures are logged; gives 0.
int StartProgram(const char* commandLine, WORD showMode, bool wait);

// A top-level window whose class, or failing that whose title, is `name`.
HWND FindWindowByName(const char* name);

extern const HandlerRow ProcessCommandRows[];
