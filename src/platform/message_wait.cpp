#include "platform/message_wait.h"

namespace {
DWORD WINAPI SystemTicks() { return GetTickCount(); }
TickSource g_ticks = nullptr;
DWORD Ticks() { return g_ticks != nullptr ? g_ticks() : SystemTicks(); }

// Messages without a window (a quit message among them) are taken off and go nowhere.
void DispatchWaitingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}
}  // namespace

void SetTickSource(TickSource source) { g_ticks = source; }

DWORD WaitPumping(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeout) {
  const DWORD deadline = Ticks() + timeout;  // wraps like the tick counter
  for (;;) {
    DWORD remaining = INFINITE;
    if (timeout != INFINITE) {
      // Signed, so a wait that spans the counter's wrap still ends on time.
      const LONG left = static_cast<LONG>(deadline - Ticks());
      if (left <= 0) return WAIT_TIMEOUT;
      remaining = static_cast<DWORD>(left);
    }
    DWORD outcome = MsgWaitForMultipleObjects(count, handles, waitAll, remaining, QS_ALLINPUT);
    if (outcome != WAIT_OBJECT_0 + count) return outcome;
    DispatchWaitingMessages();
  }
}

DWORD WaitOnePumping(HANDLE handle, DWORD timeout) { return WaitPumping(1, &handle, FALSE, timeout); }

void SleepPumping(DWORD milliseconds, IdleStep idleStep) {
  const DWORD deadline = Ticks() + milliseconds;
  bool working = idleStep != nullptr;
  while (working && static_cast<LONG>(deadline - Ticks()) > 0) {
    working = idleStep();
    DispatchWaitingMessages();
  }
  while (working) working = idleStep();
  const LONG left = static_cast<LONG>(deadline - Ticks());
  if (left <= 0) return;
  HANDLE never = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (never == nullptr) return;
  WaitPumping(1, &never, FALSE, static_cast<DWORD>(left));
  CloseHandle(never);
}
