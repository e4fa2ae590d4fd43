#include "win32/helper_process.h"

#include <cstdio>

std::string ProgramFolder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\') + 1);
}

namespace {
HANDLE Start(const std::string& program, const std::vector<std::string>& arguments) {
  std::string commandLine = "\"" + program + "\"";
  for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return nullptr;
  }
  CloseHandle(info.hThread);
  return info.hProcess;
}
}  // namespace

int RunAndWait(const std::string& program, const std::vector<std::string>& arguments) {
  HANDLE process = Start(program, arguments);
  if (process == nullptr) return -1;
  WaitForSingleObject(process, 60000);
  DWORD code = static_cast<DWORD>(-1);
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

FileHolder::FileHolder(const char* mode, const std::string& path) {
  char name[64];
  std::snprintf(name, sizeof(name), "kivtest-ready-%lu", GetCurrentProcessId());
  std::string readyName = name;
  std::snprintf(name, sizeof(name), "kivtest-release-%lu", GetCurrentProcessId());
  std::string releaseName = name;
  ready_ = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
  release_ = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
  process_ = Start(ProgramFolder() + "kivrun_hold_file.exe", {mode, path, readyName, releaseName});
  if (process_ == nullptr) return;
  HANDLE waits[2] = {ready_, process_};
  holding_ = WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
}

FileHolder::~FileHolder() {
  if (release_ != nullptr) SetEvent(release_);
  if (process_ != nullptr) {
    WaitForSingleObject(process_, 30000);
    CloseHandle(process_);
  }
  if (ready_ != nullptr) CloseHandle(ready_);
  if (release_ != nullptr) CloseHandle(release_);
}
