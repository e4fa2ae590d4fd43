#include "host/server_lock.h"

namespace {

constexpr DWORD kIdleMilliseconds = 5000;

volatile LONG g_lockCount = 0;
volatile bool g_activity = false;
HANDLE g_shutdownEvent = nullptr;
DWORD g_quitThreadId = 0;

DWORD WINAPI ShutdownMonitor(void*) {
  for (;;) {
    WaitForSingleObject(g_shutdownEvent, INFINITE);
    DWORD outcome;
    do {
      g_activity = false;
      outcome = WaitForSingleObject(g_shutdownEvent, kIdleMilliseconds);
    } while (outcome == WAIT_OBJECT_0);
    if (!g_activity && InterlockedCompareExchange(&g_lockCount, 0, 0) == 0) break;
  }
  CloseHandle(g_shutdownEvent);
  g_shutdownEvent = nullptr;
  PostThreadMessageA(g_quitThreadId, WM_QUIT, 0, 0);
  return 0;
}

}  // namespace

LONG ServerLock() { return InterlockedIncrement(&g_lockCount); }

LONG ServerUnlock() {
  LONG count = InterlockedDecrement(&g_lockCount);
  if (count == 0) {
    g_activity = true;
    if (g_shutdownEvent != nullptr) SetEvent(g_shutdownEvent);
  }
  return count;
}

LONG ServerLockCount() { return InterlockedCompareExchange(&g_lockCount, 0, 0); }

bool StartShutdownMonitor(DWORD threadToQuit) {
  g_quitThreadId = threadToQuit;
  g_shutdownEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (g_shutdownEvent == nullptr) return false;
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, ShutdownMonitor, nullptr, 0, &threadId);
  if (thread == nullptr) return false;
  CloseHandle(thread);
  return true;
}
