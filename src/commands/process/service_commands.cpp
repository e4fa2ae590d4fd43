#include "commands/process/service_commands.h"

#include <windows.h>

#include <cstring>

#include "commands/ui/message_wait.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "engine/text.h"
#include "platform/windows_family.h"

namespace {

constexpr int kStartPendingWaits = 5;
constexpr int kStatePolls = 30;
constexpr DWORD kPollMilliseconds = 1000;
constexpr DWORD kSettleMilliseconds = 2000;

// A service control handle that closes itself.
class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  SC_HANDLE get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

bool ReadState(SC_HANDLE service, SERVICE_STATUS* status) { return QueryServiceStatus(service, status) != FALSE; }

// Calls act(manager, name) for each name of the comma list, up to the first empty one.
template <class Act>
void ForEachService(const ScriptLine* line, Act act) {
  if (!IsNtFamily()) return;
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, READ_CONTROL));
  if (manager.get() == nullptr) return;
  const char* position = line->argumentText;
  char name[kPathChars];
  while ((position = NextField(position, name, sizeof(name), ',')) != nullptr && name[0] != '\0') {
    act(manager.get(), name);
  }
}

void StopOne(SC_HANDLE manager, const char* name) {
  ServiceHandle service(OpenServiceA(manager, name, SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (service.get() == nullptr) return;
  SERVICE_STATUS status = {};

  // A service that is starting is let finish first.
  if (ReadState(service.get(), &status) && status.dwCurrentState == SERVICE_START_PENDING) {
    for (int wait = 0; wait < kStartPendingWaits; ++wait) {
      SleepPumping(status.dwWaitHint);
      if (!ReadState(service.get(), &status) || status.dwCurrentState != SERVICE_START_PENDING) break;
    }
    SleepPumping(kPollMilliseconds);
  }

  bool readable = ReadState(service.get(), &status);
  bool goOn;
  if (readable && status.dwCurrentState == SERVICE_RUNNING) {
    StatusMessage(kStringStoppingService, name);
    SERVICE_STATUS controlled = {};
    if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &controlled)) return;  // refused
    SleepPumping(kPollMilliseconds);
    goOn = ReadState(service.get(), &status);
  } else {
    goOn = status.dwCurrentState == SERVICE_STOP_PENDING;
  }
  if (!goOn) return;

  bool lastReadOk = true;
  for (int poll = 0; poll < kStatePolls && status.dwCurrentState != SERVICE_STOPPED; ++poll) {
    SleepPumping(kPollMilliseconds);
    lastReadOk = ReadState(service.get(), &status);
    if (!lastReadOk) break;
  }
  if (lastReadOk) SleepPumping(kSettleMilliseconds);
}

void StartOne(SC_HANDLE manager, const char* name) {
  ServiceHandle service(OpenServiceA(manager, name, SERVICE_START | SERVICE_QUERY_STATUS));
  if (service.get() == nullptr) return;
  SERVICE_STATUS status = {};
  if (!ReadState(service.get(), &status) || status.dwCurrentState == SERVICE_RUNNING ||
      status.dwCurrentState == SERVICE_START_PENDING) {
    return;
  }
  StatusMessage(kStringStartingService, name);
  if (!StartServiceA(service.get(), 0, nullptr)) return;
  SleepPumping(kPollMilliseconds);
  for (int poll = 0; poll < kStatePolls; ++poll) {
    if (!ReadState(service.get(), &status) || status.dwCurrentState == SERVICE_RUNNING) break;
    SleepPumping(kPollMilliseconds);
  }
}

}  // namespace

const HandlerRow ServiceCommandRows[] = {
    {kOpStopService, StopServiceCommand},
    {kOpStartService, StartServiceCommand},
    {kOpIsServiceRunning, IsServiceRunningCommand},
    {kOpNone, nullptr},
};

int StopServiceCommand(ScriptContext*, ScriptLine* line) {
  ForEachService(line, StopOne);
  return kResultOk;
}

int StartServiceCommand(ScriptContext*, ScriptLine* line) {
  ForEachService(line, StartOne);
  return kResultOk;
}

int IsServiceRunningCommand(ScriptContext* context, ScriptLine* line) {
  if (!IsNtFamily()) return kResultOk;
  char variable[kPathChars], name[kPathChars];
  int result = SplitAssignment(line->argumentText, variable, sizeof(variable), name, sizeof(name));
  if (result != kResultOk) return result;  // returned, not reported
  bool running = false;
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, READ_CONTROL));
  if (manager.get() != nullptr) {
    ServiceHandle service(OpenServiceA(manager.get(), name, SERVICE_QUERY_STATUS));
    SERVICE_STATUS status = {};
    running = service.get() != nullptr && ReadState(service.get(), &status) &&
              status.dwCurrentState == SERVICE_RUNNING;
  }
  return SymbolSet(context->symbols, variable, TrueOrFalse(running));
}
