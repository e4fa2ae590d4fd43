// test_service: a Windows service for the service command tests. It reports running at
// once and stops when asked; with the argument "slow-start" it takes two seconds to start.
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
  bool slow = false;
  for (DWORD i = 1; i < argc; ++i) slow = slow || std::strcmp(argv[i], "slow-start") == 0;
  if (slow) {
    Report(SERVICE_START_PENDING, 500);
    Sleep(2000);
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
