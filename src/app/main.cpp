// Kivrun.exe: reads its command line, opens the log, starts COM, and either registers or
// unregisters the COM server or runs one KIV script with the host link around it. The exit
// code is the script's result code.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/com_server.h"
#include "host/server_lock.h"
#include "app/command_line.h"
#include "app/journal_run.h"
#include "app/what_if_run.h"
#include "host/host_link.h"
#include "commands/command_families.h"
#include "platform/change_journal.h"
#include "platform/message_wait.h"
#include "engine/executor.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "base/text.h"
#include "log/log.h"
#include "platform/messages.h"
#include "platform/win32_handles.h"

namespace {

constexpr int kExitUsage = 56;
constexpr DWORD kFinalPumpMilliseconds = 1000;
constexpr size_t kScriptFolderChars = 520;
const char kDefaultLog[] = "vornagent.log";
const char kDefaultSection[] = "DefaultInstall";

const char* NextChar(const char* text) { return CharNextA(text); }

// dwBreakOnKIVStart under HKLM\SOFTWARE\Vorna\Agent stops here for a debugger.
void BreakIfAsked(RegKey* agentKey) {
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorna\\Agent", 0, KEY_READ, agentKey->receive()) !=
      ERROR_SUCCESS) {
    return;
  }
  DWORD value = 0, type = 0, size = sizeof(value);
  if (RegQueryValueExA(agentKey->get(), "dwBreakOnKIVStart", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) == ERROR_SUCCESS &&
      value != 0) {
    DebugBreak();
  }
}

// A bare name is looked for in the executable's folder; a path with a backslash is taken
// as it stands, its folder being what comes before its last backslash.
bool ResolveScript(const char* value, const char* exeFolder, char* path, size_t pathSize, char* folder,
                   size_t folderSize) {
  const char* lastSlash = std::strrchr(value, '\\');
  if (lastSlash != nullptr) {
    CopyText(path, pathSize, value);
    CopyText(folder, folderSize, value, static_cast<size_t>(lastSlash - value));
    return true;
  }
  CopyText(folder, folderSize, exeFolder);
  int length = std::snprintf(path, pathSize, "%s\\%s", exeFolder, value);
  return length >= 0 && static_cast<size_t>(length) < pathSize;
}

int LoadAndRun(const StartupOptions& options, const char* section, const char* exeFolder) {
  char path[kScriptValueChars];
  char folder[kScriptFolderChars];
  if (!ResolveScript(options.script, exeFolder, path, sizeof(path), folder, sizeof(folder))) {
    // Cut to 259 characters the joined path would name another file: nothing runs.
    LogError("Error Loading Script File: %s\\%s", exeFolder, options.script);
    return kResultCannotOpenFile;
  }
  LogStatus("ScriptFiles=%s, StartSection=%s", path, section);
  return ExecuteScript(path, section, folder);
}

int RunScript(const StartupOptions& options, const char* exeFolder) {
  const char* section = options.section[0] != '\0' ? options.section : kDefaultSection;
  StartShutdownMonitor(GetCurrentThreadId());
  RegisterClassObjects();
  if (options.callBack[0] != '\0') AttachHostCallback(options.callBack);
  if (options.appUtil[0] != '\0') AttachHostAppUtil(options.appUtil);

  // A what-if run changes nothing, so it keeps no journal. With a journal, the folder is made
  // ready (and what an earlier run left rolled back) before the script's first line; a
  // folder that cannot be used stops the run there.
  int result = kResultOk;
  bool recording = false;
  if (options.whatIf) {
    result = StartWhatIf(options);
  } else if (options.journal[0] != '\0') {
    result = StartJournal(options.journal, options.rollback);
    recording = result == kResultOk && !options.rollback;
  }
  const bool runs = result == kResultOk && !options.rollback;
  if (runs) result = LoadAndRun(options, section, exeFolder);

  ReportUnreportedFailure(result);  // a load failure or a missing section reaches the host as one
  if (recording) EndJournal(result);
  if (options.whatIf && runs) EndWhatIf(options, section, result);
  CompleteHostRun();
  RevokeClassObjects();
  // The last calls of a host are let in; a rollback that no host started has none to wait for.
  const bool hosted = options.callBack[0] != '\0' || options.appUtil[0] != '\0';
  // What a committed journal kept is removed meanwhile, then the journal's folder is let go.
  if (!options.rollback || hosted) SleepPumping(kFinalPumpMilliseconds, RemoveSomeKept);
  CloseJournal();
  return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int exitCode = kExitUsage;
  RegKey agentKey;
  BreakIfAsked(&agentKey);
  SetMessageInstance(instance);

  const char* commandLine = GetCommandLineA();
  char log[kLogValueChars];
  FindLogOption(commandLine, log, sizeof(log));
  SetLogFile(kLogLevelStatus, log[0] != '\0' ? log : kDefaultLog);
  LogStatus("Command Line: %s", commandLine);
  LogStatus("Before CoInitialize");
  CoInitialize(nullptr);
  LogStatus("After CoInitialize");

  char exeFolder[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, exeFolder, sizeof(exeFolder));
  exeFolder[sizeof(exeFolder) - 1] = '\0';
  if (char* slash = std::strrchr(exeFolder, '\\')) *slash = '\0';

  ServerModuleInit(instance);
  AddCommandFamilies();

  static StartupOptions options;  // some 11 KB: kept off the stack the script runs on
  ScanOptions(commandLine, NextChar, OptionActions{SetHostParams, WatchParentProcess}, &options);

  if (options.action == StartupAction::kUnregServer) {
    exitCode = SUCCEEDED(UnregisterServer()) ? 0 : kExitUsage;
  } else if (options.action == StartupAction::kRegServer) {
    exitCode = SUCCEEDED(RegisterServer()) ? 0 : kExitUsage;
  } else if (options.rollback && options.journal[0] == '\0') {
    LogError("Rollback needs the journal's folder: /Journal=<folder> /Rollback");
  } else if (options.script[0] == '\0' && !options.rollback) {
    MessageBoxA(nullptr, "Usage:\nKivrun /Script=C:\\MyTest.Kiv /Log=kivrun.log", "Kivrun usage Error",
                MB_ICONERROR);
  } else {
    exitCode = RunScript(options, exeFolder);
  }

  ServerModuleTerm();
  CoUninitialize();
  return exitCode;
}
