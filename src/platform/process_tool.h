// Processes by name, one interface with a route per Windows family: the process-status
// library on the NT family, tool-help snapshots on the 9x family. Both bind their functions
// at run time by name, so the program starts on either family.
#pragma once
#include <windows.h>

class ProcessTool {
 public:
  virtual ~ProcessTool() = default;
  // Binds the system functions; nothing else may be called when this fails.
  virtual bool Load() = 0;
  // Ends the first process whose executable path contains `name` (both upper-cased): 1 or 0.
  // Spared processes are passed over as if they did not match.
  virtual int KillByName(const char* name) = 0;
  virtual bool IsRunning(const char* name) = 0;
  // Logs "Process ID: %d, %s" for every process.
  virtual int LogAll() = 0;
  // Logs every process that has `modulePath` loaded and, with `kill`, ends those running
  // from the family folder (spared ones excepted). Gives the outcome of the last kill, else 0.
  virtual int ReportModuleUsers(const char* modulePath, bool kill) = 0;
};

// The tool of the running family (not yet loaded); the caller deletes it.
ProcessTool* CreateProcessTool();
ProcessTool* CreatePsapiProcessTool();
ProcessTool* CreateToolhelpProcessTool();

// Asks the process to close (WM_CLOSE to its first top-level window, 10 s to end), else
// terminates it: 1 when it ended, 0 when it could not be ended or is spared. `name` (its
// path) names it in the log when it is terminated.
int KillProcessById(DWORD processId, const char* name);

// Every process a command terminates goes through here, so each is in the log:
// "Process terminated: %d, %s" (id, path or window name), or
// "Cannot Kill Process: %d, Error Code: %d" when the system refuses. True when terminated.
bool TerminateLogged(HANDLE process, DWORD processId, const char* name);

// For the file commands: logs the users of a file that could not be replaced, and with
// `kill` ends those that run from the family folder.
void ReportModuleUsers(const char* modulePath, bool kill);

// The family folder: the Windows folder followed by "\Vorna\"; a process whose path begins
// with it (in any case) runs from there. "\VornaExtra\" is another folder.
bool RunsFromFamilyFolder(const char* processPath);

// No command ends Kivrun's own process or its host's (the process named by Parent=).
void SetHostProcessId(DWORD processId);
bool IsSparedProcess(DWORD processId);
// The same rule where a process is about to be ended: true, with a status line naming it
// ("Process not ended (Kivrun or its host): %d, %s"), when it must be left alone.
bool SpareProcess(DWORD processId, const char* name);
