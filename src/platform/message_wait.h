// Waits that keep window messages and incoming COM calls served. The main thread has no
// message loop of its own: whatever it waits for, it waits here.
#pragma once
#include <windows.h>

// MsgWaitForMultipleObjects in a loop that dispatches every queued message and keeps the
// deadline; gives WAIT_OBJECT_0 + index, WAIT_TIMEOUT or the failure value.
DWORD WaitPumping(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeout);
DWORD WaitOnePumping(HANDLE handle, DWORD timeout);
// Lets `milliseconds` pass while messages are dispatched. Between messages, `idleStep` (when
// given) does a little work at a time until it reports that none is left; what is left when
// the time is up is done then, without waiting for messages.
using IdleStep = bool (*)();
void SleepPumping(DWORD milliseconds, IdleStep idleStep = nullptr);

// Tests replace the tick counter to see the waits across its wrap; nullptr restores it.
using TickSource = DWORD(WINAPI*)();
void SetTickSource(TickSource source);
