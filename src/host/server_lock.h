// The server's module lock count and its shut-down monitor: an object that a host or an
// installer holds keeps the process serving; once the count has been 0 for a while the
// monitor ends the main thread's wait.
#pragma once
#include <windows.h>

// The module lock count (interlocked). The unlock that reaches 0 wakes the monitor.
LONG ServerLock();
LONG ServerUnlock();
LONG ServerLockCount();

// Starts the thread that posts WM_QUIT to `threadToQuit` once the server has been idle
// for 5 seconds after its last unlock. False when the event or thread could not be made.
bool StartShutdownMonitor(DWORD threadToQuit);
