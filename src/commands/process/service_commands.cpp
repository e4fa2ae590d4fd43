#include "commands/process/service_commands.h"

#include <windows.h>

#include <cstring>

#include "platform/change_door.h"
#include "platform/message_wait.h"
#include "engine/argument_reader.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "log/log.h"
#include "platform/win32_handles.h"
#include "platform/windows_family.h"

namespace {

constexpr int kStartPendingWaits = 5;
constexpr int kStatePolls = 30;
constexpr DWORD kPollMilliseconds = 1000;
constexpr DWORD kSettleMilliseconds = 2000;

// The state as the door reads it: in a what-if run, the state the plan leaves the service in.
bool ReadState(SC_HANDLE service, const char* name, SERVICE_STATUS* status) {
  return DoorQueryService(service, name, status) != FALSE;
}

// A service the command could not bring to its state is named in the log, with the error of
// the call that failed or the state the service was left in; the command still gives 0.
struct ServiceGoal {
  const char* refused;  // service name, Win32 error
  const char* left;     // service name, state
};
const ServiceGoal kStopGoal = {"Service %s did not stop: error %lu.", "Service %s did not stop: still %s."};
const ServiceGoal kStartGoal = {"Service %s did not start: error %lu.", "Service %s did not start: still %s."};

void LogRefused(const ServiceGoal& goal, const char* name) {
  LogStatus(goal.refused, name, static_cast<unsigned long>(GetLastError()));
}

void LogLeft(const ServiceGoal& goal, const char* name, DWORD state) {
  static const char* const kStateNames[] = {"in an unknown state", "stopped", "start pending", "stop pending",
                                            "running", "continue pending", "pause pending", "paused"};
  constexpr DWORD kStateCount = sizeof(kStateNames) / sizeof(kStateNames[0]);
  LogStatus(goal.left, name, kStateNames[state < kStateCount ? state : 0]);
}

// Calls act(manager, name) for each name of the comma list, up to the first empty one.
template <class Act>
void ForEachService(const char* names, Act act) {
  if (!IsNtFamily()) return;
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, READ_CONTROL));
  if (manager.get() == nullptr) return;
  const char* position = names;
  char name[kPathChars];
  while ((position = NextField(position, name, sizeof(name), ',')) != nullptr && name[0] != '\0') {
    act(manager.get(), name);
  }
}

void StopOne(SC_HANDLE manager, const char* name) {
  ServiceHandle service(OpenServiceA(manager, name, SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (service.get() == nullptr) return LogRefused(kStopGoal, name);
  SERVICE_STATUS status = {};

  // A service that is starting is let finish first.
  if (ReadState(service.get(), name, &status) && status.dwCurrentState == SERVICE_START_PENDING) {
    for (int wait = 0; wait < kStartPendingWaits; ++wait) {
      SleepPumping(status.dwWaitHint);
      if (!ReadState(service.get(), name, &status) || status.dwCurrentState != SERVICE_START_PENDING) break;
    }
    SleepPumping(kPollMilliseconds);
  }

  const bool readable = ReadState(service.get(), name, &status);
  if (readable && status.dwCurrentState == SERVICE_RUNNING) {
    StatusMessage(kStringStoppingService, name);
    SERVICE_STATUS controlled = {};
    if (!DoorStopService(service.get(), name, &controlled)) return LogRefused(kStopGoal, name);
    SleepPumping(kPollMilliseconds);
    if (!ReadState(service.get(), name, &status)) return LogRefused(kStopGoal, name);
  } else if (status.dwCurrentState != SERVICE_STOP_PENDING) {
    // Not to be stopped: unreadable, still starting after its waits, or stopped, paused and
    // the like (left alone, silently).
    if (!readable) return LogRefused(kStopGoal, name);
    if (status.dwCurrentState == SERVICE_START_PENDING) LogLeft(kStopGoal, name, status.dwCurrentState);
    return;
  }

  bool lastReadOk = true;
  for (int poll = 0; poll < kStatePolls && status.dwCurrentState != SERVICE_STOPPED; ++poll) {
    SleepPumping(kPollMilliseconds);
    lastReadOk = ReadState(service.get(), name, &status);
    if (!lastReadOk) break;
  }
  if (!lastReadOk) return LogRefused(kStopGoal, name);
  SleepPumping(kSettleMilliseconds);
  if (status.dwCurrentState != SERVICE_STOPPED) LogLeft(kStopGoal, name, status.dwCurrentState);
}

void StartOne(SC_HANDLE manager, const char* name) {
  ServiceHandle service(OpenServiceA(manager, name, SERVICE_START | SERVICE_QUERY_STATUS));
  if (service.get() == nullptr) return LogRefused(kStartGoal, name);
  SERVICE_STATUS status = {};
  if (!ReadState(service.get(), name, &status)) return LogRefused(kStartGoal, name);
  if (status.dwCurrentState == SERVICE_RUNNING || status.dwCurrentState == SERVICE_START_PENDING) return;
  StatusMessage(kStringStartingService, name);
  if (!DoorStartService(service.get(), name)) return LogRefused(kStartGoal, name);
  SleepPumping(kPollMilliseconds);
  bool readable = ReadState(service.get(), name, &status);
  for (int poll = 0; poll < kStatePolls && readable && status.dwCurrentState != SERVICE_RUNNING; ++poll) {
    SleepPumping(kPollMilliseconds);
    readable = ReadState(service.get(), name, &status);
  }
  if (!readable) return LogRefused(kStartGoal, name);
  if (status.dwCurrentState != SERVICE_RUNNING) LogLeft(kStartGoal, name, status.dwCurrentState);
}

}  // namespace

const HandlerRow ServiceCommandRows[] = {
    {kOpStopService, StopServiceCommand},
    {kOpStartService, StartServiceCommand},
    {kOpIsServiceRunning, IsServiceRunningCommand},
    {kOpNone, nullptr},
};

int StopServiceCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  ForEachService(argument[0], StopOne);
  return kResultOk;
}

int StartServiceCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  ForEachService(argument[0], StartOne);
  return kResultOk;
}

int IsServiceRunningCommand(ScriptContext* context, const ScriptLine* line) {
  if (!IsNtFamily()) return kResultOk;
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;  // returned, not reported
  const char* variable = argument[0];
  const char* name = argument[1];
  bool running = false;
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, READ_CONTROL));
  if (manager.get() != nullptr) {
    ServiceHandle service(OpenServiceA(manager.get(), name, SERVICE_QUERY_STATUS));
    SERVICE_STATUS status = {};
    running = service.get() != nullptr && ReadState(service.get(), name, &status) &&
              status.dwCurrentState == SERVICE_RUNNING;
  }
  return SymbolSet(context->symbols, variable, TrueOrFalse(running));
}
