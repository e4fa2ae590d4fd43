#include "commands/ui/reboot_commands.h"

#include <windows.h>
#include <process.h>

#include <cstring>

#include "engine/argument_reader.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "platform/change_door.h"
#include "platform/delete_on_reboot.h"
#include "platform/path_helpers.h"
#include "platform/win32_handles.h"
#include "platform/windows_family.h"

namespace {

constexpr size_t kQuestionChars = 1024;
const char kMarkerTail[] = "\\Vorna\\Agent\\Reboot.ini";
const char kPromptCaption[] = "Vorna Kivrun";

unsigned __stdcall RestartFrom9x(void*) {
  ExitWindowsEx(EWX_REBOOT, 0);
  return 0;
}

// The NT family restarts only for a process that holds and enables the shutdown privilege.
void RestartFromNt() {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken)) return;
  KernelHandle token(rawToken);
  LUID shutdown;
  if (!LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &shutdown)) return;

  TOKEN_PRIVILEGES wanted = {};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Luid = shutdown;
  wanted.Privileges[0].Attributes = 0;
  TOKEN_PRIVILEGES previous = {};
  DWORD previousLength = sizeof(previous);
  SetLastError(ERROR_SUCCESS);
  AdjustTokenPrivileges(token.get(), FALSE, &wanted, sizeof(wanted), &previous, &previousLength);
  if (GetLastError() != ERROR_SUCCESS) return;

  previous.PrivilegeCount = 1;
  previous.Privileges[0].Luid = shutdown;
  previous.Privileges[0].Attributes |= SE_PRIVILEGE_ENABLED;
  SetLastError(ERROR_SUCCESS);
  AdjustTokenPrivileges(token.get(), FALSE, &previous, previousLength, nullptr, nullptr);
  if (GetLastError() != ERROR_SUCCESS) return;
  // Looked up here: the 9x family's ADVAPI32 need not have it, and a missing import would
  // keep Kivrun.exe from starting there at all.
  using InitiateShutdown = BOOL(WINAPI*)(LPSTR, LPSTR, DWORD, BOOL, BOOL);
  HMODULE advapi = GetModuleHandleA("advapi32.dll");
  auto initiate = advapi == nullptr ? nullptr
                                    : reinterpret_cast<InitiateShutdown>(reinterpret_cast<void*>(
                                          GetProcAddress(advapi, "InitiateSystemShutdownA")));
  if (initiate != nullptr) initiate(nullptr, nullptr, 0, FALSE, TRUE);
}

}  // namespace

const HandlerRow RebootCommandRows[] = {
    {kOpSetRebootFlag, SetRebootFlagCommand},
    {kOpPromptReboot, PromptRebootCommand},
    {kOpNone, nullptr},
};

bool RebootMarkerPath(char* path) {
  UINT length = GetWindowsDirectoryA(path, kPathChars);
  if (length == 0 || length >= kPathChars) return false;
  return AppendText(path, kPathChars, kMarkerTail);
}

int SetRebootFlagCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> key;  // the key as written: no substitution
  key.Read(context, line);
  char marker[kPathChars];
  if (!RebootMarkerPath(marker)) return FailLine(context, line, kResultCannotWriteFile);
  // A pending restart must not be lost for want of the marker's folders.
  char folder[kPathChars];
  CopyText(folder, sizeof(folder), marker);
  *std::strrchr(folder, '\\') = '\0';  // the tail holds backslashes
  MakeFolderChain(folder);
  const bool written = DoorWriteIniValue("Reboot", key[0], "1", marker) != FALSE;
  DoorScheduleDelete(marker);
  return written ? kResultOk : FailLine(context, line, kResultCannotWriteFile);
}

int PromptRebootCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<kQuestionChars> question;  // shown up to an undefined name
  question.Read(context, line);
  if (DoorAsk(question[0], kPromptCaption, MB_YESNO | MB_ICONQUESTION | MB_SERVICE_NOTIFICATION) != IDYES) {
    return kResultOk;
  }
  if (DoorPlansInstead(PlanKind::kRestart, "", "Would restart the machine")) return kResultOk;
  if (!IsNtFamily()) {
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RestartFrom9x, nullptr, 0, nullptr));
    if (thread != nullptr) CloseHandle(thread);
    return kResultOk;
  }
  RestartFromNt();
  return kResultOk;  // the script goes on while Windows ends the programs
}
