// The executable as a COM local server: registration of its AppID and type library, the
// (empty) table of class objects, and the module lock count with the shut-down monitor.
#pragma once
#include <windows.h>

constexpr int kRegistryScriptId = 1001;

// Keeps the instance and the main thread id; called once by start-up.
void ServerModuleInit(HINSTANCE instance, DWORD mainThreadId);
// Releases what the module set up; called once at the end of every path.
void ServerModuleTerm();

// RegServer: the registry script in register mode (its outcome unused), then the type
// library; the result is the type library's registration.
HRESULT RegisterServer();
// UnregServer: the registry script in unregister mode, then the type library. Always S_OK.
HRESULT UnregisterServer();

HRESULT RegisterClassObjects();  // CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE; the table is empty
void RevokeClassObjects();

// The module lock count (interlocked). The unlock that reaches 0 wakes the monitor.
LONG ServerLock();
LONG ServerUnlock();
LONG ServerLockCount();

// Starts the thread that posts WM_QUIT to the main thread once the server has been idle
// for 5 seconds after its last unlock. False when the event or thread could not be made.
bool StartShutdownMonitor();
