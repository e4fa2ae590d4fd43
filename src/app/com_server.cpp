#include "app/com_server.h"

#include <oleauto.h>

#include <cstring>
#include <cwchar>

#include "app/registrar.h"
#include "platform/win32_handles.h"

namespace {

struct ClassObjectRow {
  const CLSID* clsid;
  IUnknown* (*create)();
  DWORD cookie;
};
// The server serves no classes: the steps below walk an empty table.
ClassObjectRow g_classObjects[] = {{nullptr, nullptr, 0}};

HINSTANCE g_instance = nullptr;

bool ModulePath(char* path, DWORD size) {
  DWORD length = GetModuleFileNameA(g_instance, path, size);
  return length > 0 && length < size;
}

// The type library of the executable itself, or failing that the .tlb beside it.
HRESULT LoadOwnTypeLib(const char* modulePath, ITypeLib** library, wchar_t* widePath, int wideChars) {
  MultiByteToWideChar(CP_ACP, 0, modulePath, -1, widePath, wideChars);
  HRESULT hr = LoadTypeLib(widePath, library);
  if (SUCCEEDED(hr)) return hr;

  char tlbPath[MAX_PATH + 8];
  lstrcpynA(tlbPath, modulePath, MAX_PATH);
  char* dot = std::strrchr(tlbPath, '.');
  char* slash = std::strrchr(tlbPath, '\\');
  if (dot == nullptr || (slash != nullptr && dot < slash)) dot = tlbPath + std::strlen(tlbPath);
  std::strcpy(dot, ".tlb");
  MultiByteToWideChar(CP_ACP, 0, tlbPath, -1, widePath, wideChars);
  return LoadTypeLib(widePath, library);
}

HRESULT RegisterOwnTypeLib() {
  char path[MAX_PATH];
  if (!ModulePath(path, sizeof(path))) return E_FAIL;
  wchar_t widePath[MAX_PATH + 8];
  ITypeLib* library = nullptr;
  HRESULT hr = LoadOwnTypeLib(path, &library, widePath, MAX_PATH + 8);
  if (FAILED(hr)) return hr;

  // The help folder: the path cut after its last "\", "/" or ":".
  wchar_t helpDir[MAX_PATH + 8];
  std::wcsncpy(helpDir, widePath, MAX_PATH + 7);  // no lstrcpynW: the 9x family only stubs it
  helpDir[MAX_PATH + 7] = L'\0';
  wchar_t* cut = helpDir;
  for (wchar_t* p = helpDir; *p != L'\0'; ++p) {
    if (*p == L'\\' || *p == L'/' || *p == L':') cut = p + 1;
  }
  *cut = L'\0';
  hr = RegisterTypeLib(library, widePath, helpDir);
  library->Release();
  return hr;
}

void UnregisterOwnTypeLib() {
  char path[MAX_PATH];
  if (!ModulePath(path, sizeof(path))) return;
  wchar_t widePath[MAX_PATH + 8];
  ITypeLib* library = nullptr;
  if (FAILED(LoadOwnTypeLib(path, &library, widePath, MAX_PATH + 8))) return;
  TLIBATTR* attributes = nullptr;
  if (SUCCEEDED(library->GetLibAttr(&attributes))) {
    // Looked up at run time: older systems' oleaut32 lack it.
    using UnRegisterFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
    HMODULE oleaut = LoadSystemLibrary("oleaut32.dll");
    if (oleaut != nullptr) {
      auto unregister = reinterpret_cast<UnRegisterFn>(
          reinterpret_cast<void*>(GetProcAddress(oleaut, "UnRegisterTypeLib")));
      if (unregister != nullptr) {
        unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                   attributes->syskind);
      }
      FreeLibrary(oleaut);
    }
    library->ReleaseTLibAttr(attributes);
  }
  library->Release();
}

}  // namespace

void ServerModuleInit(HINSTANCE instance) { g_instance = instance; }

void ServerModuleTerm() {
  // Whatever is still registered goes; with the empty table nothing is.
  RevokeClassObjects();
}

HRESULT RegisterServer() {
  char path[MAX_PATH];
  if (ModulePath(path, sizeof(path))) RunRegistryResource(path, kRegistryScriptId, true);
  // Each class object's own registration would come here; the table is empty.
  return RegisterOwnTypeLib();
}

HRESULT UnregisterServer() {
  char path[MAX_PATH];
  if (ModulePath(path, sizeof(path))) RunRegistryResource(path, kRegistryScriptId, false);
  UnregisterOwnTypeLib();
  return S_OK;
}

HRESULT RegisterClassObjects() {
  for (ClassObjectRow* row = g_classObjects; row->clsid != nullptr; ++row) {
    IUnknown* factory = row->create();
    HRESULT hr = CoRegisterClassObject(*row->clsid, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &row->cookie);
    factory->Release();
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

void RevokeClassObjects() {
  for (ClassObjectRow* row = g_classObjects; row->clsid != nullptr; ++row) {
    if (row->cookie != 0) CoRevokeClassObject(row->cookie);
    row->cookie = 0;
  }
}
