#include "host/host_link.h"

#include <process.h>

#include <cstdlib>
#include <cstring>

#include "host/host_text.h"
#include "base/text.h"
#include "platform/final_status_win32.h"
#include "platform/process_tool.h"

namespace {

char g_paramsRaw[kParamsValueChars] = "";
char g_params[kParamsValueChars / 2 + 1] = "";
IHostCallback* g_callback = nullptr;
IHostAppUtil* g_appUtil = nullptr;

unsigned __stdcall WatchParent(void* process) {
  WaitForSingleObject(static_cast<HANDLE>(process), INFINITE);
  ExitProcess(static_cast<UINT>(-1));  // nothing else runs: no notification, no clean-up
  return 0;
}

template <class Interface>
void Attach(const char* hexText, const IID& iid, Interface** place) {
  const size_t bytes = std::strlen(hexText) / 2;
  if (bytes == 0) return;
  HGLOBAL block = GlobalAlloc(GMEM_FIXED, bytes);
  if (block == nullptr) return;
  DecodeHexText(hexText, static_cast<unsigned char*>(block), bytes);  // GMEM_FIXED: the handle is the pointer
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
    GlobalFree(block);
    return;
  }
  void* unmarshalled = nullptr;
  if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, iid, &unmarshalled))) {
    *place = static_cast<Interface*>(unmarshalled);
  }
}

}  // namespace

void SetHostParams(const char* hexText) {
  CopyText(g_paramsRaw, sizeof(g_paramsRaw), hexText);
  size_t length = DecodeHexText(hexText, reinterpret_cast<unsigned char*>(g_params), sizeof(g_params) - 1);
  g_params[length] = '\0';
}

const char* HostParams() { return g_params; }
const char* HostParamsRaw() { return g_paramsRaw; }

void WatchParentProcess(const char* processId) {
  const DWORD id = static_cast<DWORD>(std::atol(processId));
  SetHostProcessId(id);  // no command may end the host
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (process == nullptr) return;  // the option is ignored
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WatchParent, process, 0, nullptr));
  if (thread == nullptr) {
    CloseHandle(process);
    return;
  }
  CloseHandle(thread);
}

void AttachHostCallback(const char* hexText) { Attach(hexText, IID_IHostCallback, &g_callback); }
void AttachHostAppUtil(const char* hexText) { Attach(hexText, IID_IHostAppUtil, &g_appUtil); }

IHostCallback* HostCallback() { return g_callback; }
IHostAppUtil* HostAppUtil() { return g_appUtil; }

void CompleteHostRun() {
  if (g_callback != nullptr) {
    BSTR message = FinalStatusBstr();
    BSTR empty = message == nullptr ? SysAllocString(L"") : nullptr;
    g_callback->OnComplete(FinalStatusCode(), message != nullptr ? message : empty);
    if (empty != nullptr) SysFreeString(empty);
    g_callback->Release();
    g_callback = nullptr;
  }
  if (g_appUtil != nullptr) {
    g_appUtil->Release();
    g_appUtil = nullptr;
  }
}

BSTR AnsiToBstr(const char* text) {
  int length = static_cast<int>(std::strlen(text));
  int wideChars = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(wideChars));
  if (wide != nullptr && wideChars > 0) MultiByteToWideChar(CP_ACP, 0, text, length, wide, wideChars);
  return wide;
}
