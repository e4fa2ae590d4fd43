// test_service: a Windows service for the service command tests. It reports running at
// once and stops when asked; with the argument "slow-start" it takes two seconds to start,
// with "stall-start" four seconds while its wait hint promises a tenth of a second.
#include <windows.h>

#include <cstring>

namespace {
SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status = {};
HANDLE g_stop = nullptr;
char g_name[] = "KivrunTestService";

void Report(DWORD state, DWORD waitHint = 0) {
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = state;
  g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  g_status.dwWaitHint = waitHint;
  SetServiceStatus(g_handle, &g_status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    Report(SERVICE_STOP_PENDING, 1000);
    SetEvent(g_stop);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD argc, char** argv) {
  g_handle = RegisterServiceCtrlHandlerExA(g_name, Control, nullptr);
  if (g_handle == nullptr) return;
  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  for (DWORD i = 1; i < argc; ++i) {
    const bool slow = std::strcmp(argv[i], "slow-start") == 0, stall = std::strcmp(argv[i], "stall-start") == 0;
    if (!slow && !stall) continue;
    Report(SERVICE_START_PENDING, slow ? 500 : 100);
    Sleep(slow ? 2000 : 4000);
  }
  Report(SERVICE_RUNNING);
  WaitForSingleObject(g_stop, INFINITE);
  Report(SERVICE_STOPPED);
}
}  // namespace

int main() {
  SERVICE_TABLE_ENTRYA table[] = {{g_name, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
