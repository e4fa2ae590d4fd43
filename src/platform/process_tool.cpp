#include "platform/change_door.h"
#include "platform/process_tool.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstring>

#include "log/log.h"
#include "platform/text_holders.h"
#include "platform/win32_handles.h"
#include "platform/windows_family.h"

namespace {

constexpr DWORD kCloseWaitMilliseconds = 10000;
constexpr DWORD kMaxProcesses = 1024;
constexpr DWORD kMaxModules = 1024;
const char kFamilyFolderName[] = "\\Vorna\\";

DWORD g_hostProcessId = 0;  // Parent=, when given

template <class Function>
bool Bind(HMODULE library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return *function != nullptr;
}

bool PathContains(const char* path, const char* name) {
  GlobalText upperPath, upperName;
  if (!upperPath.Assign(path) || !upperName.Assign(name)) return false;
  upperPath.Upper();
  upperName.Upper();
  return upperPath.Find(upperName.c_str()) != nullptr;
}

struct WindowSearch {
  DWORD processId;
  bool found;
};

BOOL CALLBACK CloseFirstWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId) return TRUE;
  DoorNoteIrreversible("a program closed");
  PostMessageA(window, WM_CLOSE, 0, 0);
  search->found = true;
  return FALSE;
}

// What both tools do with a walk of (process id, executable path) pairs.
class ProcessToolBase : public ProcessTool {
 public:
  int KillByName(const char* name) override {
    int killed = 0;
    WalkProcesses([&](DWORD processId, const char* path) {
      if (!PathContains(path, name) || SpareProcess(processId, path)) return true;
      if (KillProcessById(processId, path) == 1) {
        killed = 1;
        return false;
      }
      LogStatus("Cannot Kill Process: %s", path);
      return true;
    });
    return killed;
  }

  bool IsRunning(const char* name) override {
    bool running = false;
    WalkProcesses([&](DWORD, const char* path) {
      running = PathContains(path, name);
      return !running;
    });
    return running;
  }

  int LogAll() override {
    WalkProcesses([](DWORD processId, const char* path) {
      LogStatus("Process ID: %d, %s", static_cast<int>(processId), path);
      return true;
    });
    return 1;
  }

 protected:
  // Calls visit(processId, path) for each process whose path can be read, until it gives false.
  template <class Visit>
  void WalkProcesses(Visit visit) {
    // A process that a what-if run's plan has ended is passed over as if it had gone.
    WalkEach(
        [](DWORD processId, const char* path, void* context) {
          return DoorProcessEnded(processId) || (*static_cast<Visit*>(context))(processId, path);
        },
        &visit);
  }
  virtual void WalkEach(bool (*visit)(DWORD, const char*, void*), void* context) = 0;

  // A user of the module: logged, and ended when asked and it runs from the family folder.
  static void ModuleUser(const char* modulePath, DWORD processId, const char* processPath, bool kill, int* outcome) {
    LogStatus("Module: %s is used by Process: %s", modulePath, processPath);
    if (kill && RunsFromFamilyFolder(processPath) && !SpareProcess(processId, processPath)) {
      *outcome = KillProcessById(processId, processPath);
    }
  }
};

class PsapiProcessTool : public ProcessToolBase {
 public:
  ~PsapiProcessTool() override = default;  // the library stays loaded for the run

  bool Load() override {
    library_ = LoadSystemLibrary("PsApi.dll");
    if (library_ != nullptr && Bind(library_, "EnumProcesses", &enumProcesses_) &&
        Bind(library_, "EnumProcessModules", &enumProcessModules_) &&
        Bind(library_, "GetModuleFileNameExA", &getModuleFileNameEx_)) {
      return true;
    }
    if (library_ != nullptr) FreeLibrary(library_);
    library_ = nullptr;
    enumProcesses_ = nullptr;
    enumProcessModules_ = nullptr;
    getModuleFileNameEx_ = nullptr;
    return false;
  }

  int ReportModuleUsers(const char* modulePath, bool kill) override {
    int outcome = 0;
    DWORD ids[kMaxProcesses];
    DWORD count = ProcessIds(ids);
    for (DWORD i = 0; i < count; ++i) {
      HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
      if (process == nullptr) continue;
      static HMODULE modules[kMaxModules];
      DWORD bytes = 0;
      if (enumProcessModules_(process, modules, sizeof(modules), &bytes)) {
        DWORD moduleCount = bytes / sizeof(HMODULE);
        if (moduleCount > kMaxModules) moduleCount = kMaxModules;
        char processPath[MAX_PATH] = "";
        for (DWORD m = 0; m < moduleCount; ++m) {
          char path[MAX_PATH] = "";
          if (getModuleFileNameEx_(process, modules[m], path, sizeof(path)) == 0) continue;
          if (m == 0) lstrcpynA(processPath, path, sizeof(processPath));  // the first module is the program
          if (_stricmp(path, modulePath) == 0) ModuleUser(modulePath, ids[i], processPath, kill, &outcome);
        }
      }
      CloseHandle(process);
    }
    return outcome;
  }

 protected:
  void WalkEach(bool (*visit)(DWORD, const char*, void*), void* context) override {
    DWORD ids[kMaxProcesses];
    DWORD count = ProcessIds(ids);
    for (DWORD i = 0; i < count; ++i) {
      char path[MAX_PATH];
      if (!ProcessPath(ids[i], path, sizeof(path))) continue;
      if (!visit(ids[i], path, context)) return;
    }
  }

 private:
  using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
  using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
  using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);

  DWORD ProcessIds(DWORD* ids) {
    DWORD bytes = 0;
    if (!enumProcesses_(ids, kMaxProcesses * sizeof(DWORD), &bytes)) return 0;
    return bytes / sizeof(DWORD);
  }

  bool ProcessPath(DWORD processId, char* path, DWORD size) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process == nullptr) return false;
    HMODULE first = nullptr;
    DWORD bytes = 0;
    bool read = enumProcessModules_(process, &first, sizeof(first), &bytes) &&
                getModuleFileNameEx_(process, first, path, size) != 0;
    CloseHandle(process);
    return read;
  }

  HMODULE library_ = nullptr;
  EnumProcessesFn enumProcesses_ = nullptr;
  EnumProcessModulesFn enumProcessModules_ = nullptr;
  GetModuleFileNameExFn getModuleFileNameEx_ = nullptr;
};

class ToolhelpProcessTool : public ProcessToolBase {
 public:
  bool Load() override {
    library_ = LoadSystemLibrary("Kernel32.dll");
    if (library_ != nullptr && Bind(library_, "Process32First", &process32First_) &&
        Bind(library_, "Process32Next", &process32Next_) && Bind(library_, "Module32First", &module32First_) &&
        Bind(library_, "Module32Next", &module32Next_) &&
        Bind(library_, "CreateToolhelp32Snapshot", &createSnapshot_)) {
      return true;
    }
    if (library_ != nullptr) FreeLibrary(library_);
    library_ = nullptr;
    process32First_ = process32Next_ = nullptr;
    module32First_ = module32Next_ = nullptr;
    createSnapshot_ = nullptr;
    return false;
  }

  int ReportModuleUsers(const char* modulePath, bool kill) override {
    int outcome = 0;
    WalkProcesses([&](DWORD processId, const char* processPath) {
      HANDLE modules = createSnapshot_(TH32CS_SNAPMODULE, processId);
      if (modules == INVALID_HANDLE_VALUE) return true;
      MODULEENTRY32 module;
      module.dwSize = sizeof(module);
      for (BOOL more = module32First_(modules, &module); more; more = module32Next_(modules, &module)) {
        if (_stricmp(module.szExePath, modulePath) == 0) ModuleUser(modulePath, processId, processPath, kill, &outcome);
      }
      CloseHandle(modules);
      return true;
    });
    return outcome;
  }

 protected:
  void WalkEach(bool (*visit)(DWORD, const char*, void*), void* context) override {
    HANDLE snapshot = createSnapshot_(TH32CS_SNAPALL, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = process32First_(snapshot, &entry); more; more = process32Next_(snapshot, &entry)) {
      if (!visit(entry.th32ProcessID, entry.szExeFile, context)) break;
    }
    CloseHandle(snapshot);
  }

 private:
  using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
  using ModuleWalkFn = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);
  using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);

  HMODULE library_ = nullptr;
  ProcessWalkFn process32First_ = nullptr;
  ProcessWalkFn process32Next_ = nullptr;
  ModuleWalkFn module32First_ = nullptr;
  ModuleWalkFn module32Next_ = nullptr;
  CreateSnapshotFn createSnapshot_ = nullptr;
};

}  // namespace

ProcessTool* CreatePsapiProcessTool() { return new PsapiProcessTool; }
ProcessTool* CreateToolhelpProcessTool() { return new ToolhelpProcessTool; }
ProcessTool* CreateProcessTool() { return IsNtFamily() ? CreatePsapiProcessTool() : CreateToolhelpProcessTool(); }

int KillProcessById(DWORD processId, const char* name) {
  if (IsSparedProcess(processId)) return 0;  // the callers name it in the log
  if (DoorPlansProcessEnd(processId, name)) return 1;
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
  if (process == nullptr) return 0;
  WindowSearch search = {processId, false};
  EnumWindows(CloseFirstWindow, reinterpret_cast<LPARAM>(&search));
  const bool closed = search.found && WaitForSingleObject(process, kCloseWaitMilliseconds) == WAIT_OBJECT_0;
  const bool ended = closed || TerminateLogged(process, processId, name);
  CloseHandle(process);
  return ended ? 1 : 0;
}

bool TerminateLogged(HANDLE process, DWORD processId, const char* name) {
  DoorNoteIrreversible("a process ended");
  if (!TerminateProcess(process, 0)) {
    LogStatus("Cannot Kill Process: %d, Error Code: %d", static_cast<int>(processId),
              static_cast<int>(GetLastError()));
    return false;
  }
  LogStatus("Process terminated: %d, %s", static_cast<int>(processId), name);
  return true;
}

void ReportModuleUsers(const char* modulePath, bool kill) {
  ProcessTool* tool = CreateProcessTool();
  if (tool->Load()) tool->ReportModuleUsers(modulePath, kill);
  delete tool;
}

bool RunsFromFamilyFolder(const char* processPath) {
  char folder[MAX_PATH + sizeof(kFamilyFolderName)] = "";
  UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  lstrcatA(folder, kFamilyFolderName);
  return _strnicmp(processPath, folder, std::strlen(folder)) == 0;
}

void SetHostProcessId(DWORD processId) { g_hostProcessId = processId; }

bool IsSparedProcess(DWORD processId) {
  return processId == GetCurrentProcessId() || (g_hostProcessId != 0 && processId == g_hostProcessId);
}

bool SpareProcess(DWORD processId, const char* name) {
  if (!IsSparedProcess(processId)) return false;
  LogStatus("Process not ended (Kivrun or its host): %d, %s", static_cast<int>(processId), name);
  return true;
}
