#include "commands/process/process_commands.h"

#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/change_door.h"
#include "platform/message_wait.h"
#include "engine/acting_text.h"
#include "engine/argument_reader.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "log/log.h"
#include "platform/path_helpers.h"
#include "platform/process_tool.h"
#include "platform/win32_handles.h"

namespace {

constexpr DWORD kIdleWaitMilliseconds = 1000;
constexpr DWORD kAfterStartMilliseconds = 500;
constexpr DWORD kRunPollMilliseconds = 500;
constexpr DWORD kCloseStepMilliseconds = 1000;
constexpr int kCloseLooks = 15;
constexpr DWORD kCloseProcessWaitMilliseconds = 15000;
const char kSearchPathPrefix[] = "<SEARCH_PATH>";
const char kConsoleClass[] = "Vorna_SrMainClass";  // the family console: asked to close politely

void DispatchWaitingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// A program in the working folder: its path joined to the folder, quoted when the script
// quoted the program or the path holds a blank (unquoted, the system would start
// C:\Program.exe for C:\Program Files\setup.exe), then the arguments as written. The
// program is the script's quoted text, else its first word. False when it does not fit.
bool JoinWorkingFolder(const char* workDir, const char* text, char* commandLine, size_t size) {
  const bool quoted = text[0] == '"';
  const char* program = quoted ? text + 1 : text;
  const size_t programLength = std::strcspn(program, quoted ? "\"" : " \t");
  const char* arguments = program + programLength;
  if (quoted && *arguments == '"') ++arguments;

  char name[kPathChars], path[kPathChars];
  if (!CopyText(name, sizeof(name), program, programLength) || !CopyText(path, sizeof(path), workDir) ||
      !JoinPath(path, sizeof(path), name)) {
    return false;
  }
  const bool quote = quoted || std::strpbrk(path, " \t") != nullptr;
  commandLine[0] = '\0';
  return AppendText(commandLine, size, quote ? "\"" : "") && AppendText(commandLine, size, path) &&
         AppendText(commandLine, size, quote ? "\"" : "") && AppendText(commandLine, size, arguments);
}

// X:\... or "X:\... is a command line of its own; <SEARCH_PATH> leaves the program to the
// system's search; anything else is a program in the working folder. False when the
// command line does not fit.
bool BuildCommandLine(const ScriptContext* context, const char* text, char* commandLine, size_t size) {
  if (StartsWithIgnoringCase(text, kSearchPathPrefix)) {
    return CopyText(commandLine, size, text + std::strlen(kSearchPathPrefix));
  }
  const size_t length = std::strlen(text);
  const bool drivePath = length >= 3 && text[1] == ':' && text[2] == '\\';
  const bool quotedDrivePath = length >= 4 && text[0] == '"' && text[2] == ':' && text[3] == '\\';
  if (drivePath || quotedDrivePath) return CopyText(commandLine, size, text);
  return JoinWorkingFolder(context->workDir, text, commandLine, size);
}

int RunProgram(ScriptContext* context, const ScriptLine* line, WORD showMode, bool wait) {
  static char text[kRunCommandChars];  // kept off the stack; main thread only
  ArgumentFields fields;
  int end = kResultOk;
  if (!ReadArgument(context, line, text, sizeof(text), &fields, &end)) return end;
  char commandLine[kPathChars];
  // A cut command line would start another program or other arguments: none is started.
  if (!BuildCommandLine(context, text, commandLine, sizeof(commandLine))) {
    return FailLine(context, line, kResultNowhereToGetValue);
  }
  StatusMessage(kStringStartingApplication, text);
  return StartProgram(commandLine, showMode, wait);
}

bool WindowClassExists(const char* name) { return FindWindowExA(nullptr, nullptr, name, nullptr) != nullptr; }

void TerminateById(DWORD processId, const char* name, bool waitFirst) {
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
  if (process == nullptr) return;
  if (!waitFirst || WaitForSingleObject(process, kCloseProcessWaitMilliseconds) == WAIT_TIMEOUT) {
    TerminateLogged(process, processId, name);
  }
  CloseHandle(process);
}

void CloseApplication(const char* name) {
  HWND window = FindWindowByName(name);
  if (window == nullptr) return;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (SpareProcess(processId, name)) return;  // a window of Kivrun's or its host's
  if (DoorPlansProcessEnd(processId, name)) return;
  StatusMessage(kStringClosingApplication, name);
  SendMessageA(window, EqualIgnoringCase(name, kConsoleClass) ? WM_CLOSE : WM_DESTROY, 0, 0);
  SleepPumping(kCloseStepMilliseconds);

  bool stillThere = true;
  for (int look = 0; look < kCloseLooks && stillThere; ++look) {
    stillThere = WindowClassExists(name);
    SleepPumping(kCloseStepMilliseconds);
  }
  // A window that stayed: its process is ended at once; otherwise it gets 15 s to end.
  TerminateById(processId, name, !stillThere);
}

}  // namespace

const HandlerRow ProcessCommandRows[] = {
    {kOpRun, RunCommand},
    {kOpRunWait, RunWaitCommand},
    {kOpRunHide, RunHideCommand},
    {kOpShellExecute, ShellExecuteCommand},
    {kOpCloseApp, CloseAppCommand},
    {kOpWaitForWindowClose, WaitForWindowCloseCommand},
    {kOpKillProcess, KillProcessCommand},
    {kOpIsProcessRunning, IsProcessRunningCommand},
    {kOpIsAppRunning, IsAppRunningCommand},
    {kOpNone, nullptr},
};

// A window of a process that a what-if run's plan has ended counts as gone.
HWND FindWindowByName(const char* name) {
  HWND window = FindWindowExA(nullptr, nullptr, name, nullptr);
  if (window == nullptr) window = FindWindowExA(nullptr, nullptr, nullptr, name);
  DWORD processId = 0;
  if (window != nullptr) GetWindowThreadProcessId(window, &processId);
  return window != nullptr && DoorProcessEnded(processId) ? nullptr : window;
}

int StartProgram(const char* commandLine, WORD showMode, bool wait) {
  const std::string planned = "Would start " + std::string(commandLine) + (wait ? " and wait for it to end" : "");
  if (DoorPlansInstead(PlanKind::kProgram, commandLine, planned.c_str())) return kResultOk;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showMode;
  PROCESS_INFORMATION info = {};
  char line[kPathChars];
  CopyText(line, sizeof(line), commandLine);  // CreateProcessA may write into it
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                      &info)) {
    char* message = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, GetLastError(), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                   reinterpret_cast<char*>(&message), 0, nullptr);
    LogStatus("CreateProcess Error: %s", message != nullptr ? message : "");
    if (message != nullptr) LocalFree(message);
    return kResultOk;
  }
  if (wait) {
    // No overall limit: the program decides how long this takes.
    while (WaitOnePumping(info.hProcess, kRunPollMilliseconds) == WAIT_TIMEOUT) DispatchWaitingMessages();
  } else {
    WaitForInputIdle(info.hProcess, kIdleWaitMilliseconds);
  }
  SleepPumping(kAfterStartMilliseconds);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return kResultOk;
}

int RunCommand(ScriptContext* context, const ScriptLine* line) { return RunProgram(context, line, SW_SHOWDEFAULT, false); }
int RunWaitCommand(ScriptContext* context, const ScriptLine* line) { return RunProgram(context, line, SW_SHOWDEFAULT, true); }
int RunHideCommand(ScriptContext* context, const ScriptLine* line) { return RunProgram(context, line, SW_HIDE, false); }

int ShellExecuteCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<kPathChars> argument;
  if (!argument.Read(context, line)) return argument.end;
  const std::string planned = "Would open " + std::string(argument[0]);
  if (DoorPlansInstead(PlanKind::kProgram, argument[0], planned.c_str())) return kResultOk;
  ShellExecuteA(nullptr, "open", argument[0], nullptr, nullptr, SW_HIDE);
  return kResultOk;
}

int CloseAppCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  const char* position = argument[0];
  char name[kPathChars];
  while ((position = NextField(position, name, sizeof(name), ',')) != nullptr && name[0] != '\0') {
    CloseApplication(name);
  }
  return kResultOk;
}

int WaitForWindowCloseCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  const char* name = argument[0];
  const char* time = argument[1];
  if (FindWindowByName(name) == nullptr) return kResultOk;

  const bool limited = time[0] != '\0';
  const DWORD limit = static_cast<DWORD>(std::atoi(time));
  DWORD elapsed = kCloseStepMilliseconds;
  do {
    SleepPumping(kCloseStepMilliseconds);
    if (limited && elapsed >= limit) break;
    elapsed += kCloseStepMilliseconds;
  } while (FindWindowByName(name) != nullptr);
  return kResultOk;
}

int KillProcessCommand(ScriptContext* context, const ScriptLine* line) {
  // An empty name would match every process: the row's form refuses it (51).
  LineArgument<kPathChars> argument;
  if (!argument.Read(context, line)) return argument.end;
  std::unique_ptr<ProcessTool> tool(CreateProcessTool());
  if (tool == nullptr) return FailLine(context, line, kResultNoMemory);
  if (tool->Load()) tool->KillByName(argument[0]);
  return kResultOk;
}

int IsProcessRunningCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  char substituted[kPathChars];
  int end = kResultOk;
  if (!ReadAssignment(context, line, &argument, substituted, &end)) return end;  // nothing stored
  const char* variable = argument[0];
  TrimText(substituted);
  if (substituted[0] == '\0') return FailLine(context, line, kResultBadSwitch);
  std::unique_ptr<ProcessTool> tool(CreateProcessTool());
  if (tool == nullptr) return FailLine(context, line, kResultNoMemory);
  bool running = tool->Load() && tool->IsRunning(substituted);
  return StoreOrFail(context, line, variable, TrueOrFalse(running));
}

int IsAppRunningCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;  // returned, not reported
  return SymbolSet(context->symbols, argument[0], TrueOrFalse(FindWindowByName(argument[1]) != nullptr));
}
