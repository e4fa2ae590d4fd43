// The executable as a COM local server: registration of its AppID and type library, the
// (empty) table of class objects, and the module lock count with the shut-down monitor.
#pragma once
#include <windows.h>

constexpr int kRegistryScriptId = 1001;

// Keeps the instance; called once by start-up.
void ServerModuleInit(HINSTANCE instance);
// Releases what the module set up; called once at the end of every path.
void ServerModuleTerm();

// RegServer: the registry script in register mode (its outcome unused), then the type
// library; the result is the type library's registration.
HRESULT RegisterServer();
// UnregServer: the registry script in unregister mode, then the type library. Always S_OK.
HRESULT UnregisterServer();

HRESULT RegisterClassObjects();  // CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE; the table is empty
void RevokeClassObjects();
