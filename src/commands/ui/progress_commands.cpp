#include "commands/ui/progress_commands.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "platform/message_wait.h"
#include "engine/argument_reader.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "platform/change_door.h"

namespace {

constexpr size_t kMessageTextChars = 10240;
constexpr size_t kQuestionChars = 1024;
constexpr size_t kProgressTextChars = 1024;
constexpr DWORD kProgressPumpMilliseconds = 100;
constexpr DWORD kProgressLingerMilliseconds = 1500;
const char kShowMsgCaption[] = "Vorna Kivrun";
const char kYesNoCaption[] = "Kivrun";

HWND g_progressWindow = nullptr;

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    CenterWindow(dialog, nullptr);
    SendDlgItemMessageA(dialog, kProgressBarId, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  }
  return 0;
}

// The progress bar's window class. InitCommonControlsEx comes with common controls 4.70,
// which NT 4.0 has only with a later browser installed: it is looked up, and without it the
// older InitCommonControls (every version) registers the class.
void RegisterProgressClass() {
  using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  HMODULE controls = GetModuleHandleA("comctl32.dll");
  const InitEx initEx = controls == nullptr ? nullptr
                                            : reinterpret_cast<InitEx>(reinterpret_cast<void*>(
                                                  GetProcAddress(controls, "InitCommonControlsEx")));
  if (initEx != nullptr) {
    INITCOMMONCONTROLSEX wanted = {sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    if (initEx(&wanted)) return;
  }
  InitCommonControls();
}

HWND CreateProgressWindow() {
  static bool controlsReady = false;
  if (!controlsReady) {
    RegisterProgressClass();
    controlsReady = true;
  }
  return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kProgressDialogId), nullptr,
                            ProgressDialogProc, 0);
}

// Pulls a coordinate back inside [low, high - size] the way the window is kept on screen.
LONG KeepInside(LONG start, LONG size, LONG low, LONG high) {
  if (start < low) return low;
  if (start + size > high) return high - size;
  return start;
}

}  // namespace

const HandlerRow ProgressCommandRows[] = {
    {kOpShowMsg, ShowMsgCommand},
    {kOpYesNo, YesNoCommand},
    {kOpStartProgressDlg, StartProgressDlgCommand},
    {kOpSetProgress, SetProgressCommand},
    {kOpEndProgressDlg, EndProgressDlgCommand},
    {kOpNone, nullptr},
};

HWND ProgressWindow() { return g_progressWindow; }

void CenterWindow(HWND window, HWND reference) {
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  const bool child = (style & WS_CHILD) != 0;
  if (reference == nullptr) reference = child ? GetParent(window) : GetWindow(window, GW_OWNER);

  RECT area, around;
  if (child) {
    HWND parent = GetParent(window);
    GetClientRect(parent, &area);
    GetClientRect(reference, &around);
    MapWindowPoints(reference, parent, reinterpret_cast<POINT*>(&around), 2);
  } else {
    if (reference != nullptr) {
      LONG referenceStyle = GetWindowLongA(reference, GWL_STYLE);
      if ((referenceStyle & WS_VISIBLE) == 0 || (referenceStyle & WS_MINIMIZE) != 0) reference = nullptr;
    }
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    if (reference != nullptr) {
      GetWindowRect(reference, &around);
    } else {
      around = area;
    }
  }
  RECT own;
  GetWindowRect(window, &own);
  const LONG width = own.right - own.left;
  const LONG height = own.bottom - own.top;
  LONG left = (around.left + around.right) / 2 - width / 2;
  LONG top = (around.top + around.bottom) / 2 - height / 2;
  left = KeepInside(left, width, area.left, area.right);
  top = KeepInside(top, height, area.top, area.bottom);
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ShowMsgCommand(ScriptContext* context, const ScriptLine* line) {
  static char text[kMessageTextChars];  // kept off the stack; main thread only
  ArgumentFields fields;
  int end = kResultOk;
  ReadArgument(context, line, text, sizeof(text), &fields, &end);  // shown up to an undefined name
  DoorAsk(text, kShowMsgCaption, MB_ICONINFORMATION | MB_SERVICE_NOTIFICATION);
  return kResultOk;
}

int YesNoCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  char text[kQuestionChars];
  int result = SubstituteVariables(context, argument[1], text, sizeof(text));
  if (result != kResultOk) return FailLine(context, line, result);
  int answer = DoorAsk(text, kYesNoCaption, MB_ICONQUESTION | MB_YESNO);
  return StoreOrFail(context, line, argument[0], answer == IDYES ? "YES" : "NO");
}

int StartProgressDlgCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<kProgressTextChars> title;  // shown up to an undefined name
  title.Read(context, line);
  if (!DoorShowsWindows()) return kResultOk;  // a what-if run shows no window
  if (g_progressWindow == nullptr) g_progressWindow = CreateProgressWindow();
  if (g_progressWindow == nullptr) return kResultOk;
  ShowWindow(g_progressWindow, SW_SHOW);
  UpdateWindow(g_progressWindow);
  SetWindowTextA(g_progressWindow, title[0]);
  return kResultOk;
}

int SetProgressCommand(ScriptContext* context, const ScriptLine* line) {
  // Without a comma the whole text is the percentage and the status line stays as it was.
  LineArgument<kProgressTextChars> argument;  // substituted as shown text, then split
  argument.Read(context, line);
  const char* status = argument.fields.kind == kKindOptional ? argument[1] : nullptr;
  const WORD percent = static_cast<WORD>(std::atoi(argument[0]));  // its low 16 bits: -5 is 65531
  if (g_progressWindow == nullptr) return kResultOk;
  SendDlgItemMessageA(g_progressWindow, kProgressBarId, PBM_SETPOS, percent, 0);
  if (status != nullptr) SetDlgItemTextA(g_progressWindow, kProgressStatusId, status);
  UpdateWindow(g_progressWindow);
  SleepPumping(kProgressPumpMilliseconds);
  return kResultOk;
}

int EndProgressDlgCommand(ScriptContext*, const ScriptLine*) {
  if (g_progressWindow == nullptr) return kResultOk;
  SleepPumping(kProgressLingerMilliseconds);
  DestroyWindow(g_progressWindow);
  g_progressWindow = nullptr;
  return kResultOk;
}
