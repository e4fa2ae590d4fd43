// Talking to the person at the machine: a progress window (STARTPROGRESSDLG, SETPROGRESS,
// ENDPROGRESSDLG), a message (SHOWMSG) and a yes/no question (YESNO).
#pragma once
#include <windows.h>

#include "engine/executor.h"

constexpr int kProgressDialogId = 101;
constexpr int kProgressBarId = 1000;
constexpr int kProgressStatusId = 1004;

int ShowMsgCommand(ScriptContext* context, const ScriptLine* line);
int YesNoCommand(ScriptContext* context, const ScriptLine* line);
int StartProgressDlgCommand(ScriptContext* context, const ScriptLine* line);
int SetProgressCommand(ScriptContext* context, const ScriptLine* line);
int EndProgressDlgCommand(ScriptContext* context, const ScriptLine* line);

HWND ProgressWindow();  // nullptr when there is none

// Centres `window` over `reference` (or its parent or owner when that is nullptr), kept
// within the work area, or within its parent's client area for a child window.
void CenterWindow(HWND window, HWND reference);

extern const HandlerRow ProgressCommandRows[];
