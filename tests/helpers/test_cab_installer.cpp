// kivrun_test_cab.dll: a CAB installer component for the tests, served in-process. It
// appends every call it receives to C:\kivtest\cab-record.txt, reports progress, and
// completes at once: with E_FAIL when the package name contains "fail", else with S_OK.
// A package name with "silent" makes Install fail with E_ACCESSDENIED without a word to the
// sink; one with "refuse" completes as above and then fails the call all the same.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "commands/ui/cab_installer.h"
#include "host/com_object.h"

namespace {

LONG g_objects = 0;

std::string Narrow(BSTR text) {
  if (text == nullptr) return "<null>";
  char buffer[2048] = "";
  WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
  return buffer;
}

bool Contains(BSTR text, const wchar_t* part) { return text != nullptr && std::wcsstr(text, part) != nullptr; }

void Record(const std::string& line) {
  CreateDirectoryA("C:\\kivtest", nullptr);
  if (std::FILE* file = std::fopen("C:\\kivtest\\cab-record.txt", "ab")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

class Installer final : public ComObject<ICabInstaller, IID_ICabInstaller> {
 public:
  Installer() { InterlockedIncrement(&g_objects); }
  ~Installer() override { InterlockedDecrement(&g_objects); }
  HRESULT STDMETHODCALLTYPE ResetLastUpdate() override {
    Record("ResetLastUpdate()");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reserved() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Install(BSTR package, LONG o1, LONG o2, LONG o3, LONG o4, LONG o5, LONG o6,
                                    IHostCallback* sink, void* reserved, IHostAppUtil* appUtil, BSTR params) override {
    char line[512];
    std::snprintf(line, sizeof(line), "Install(%s, %ld, %ld, %ld, %ld, %ld, %ld, sink=%s, reserved=%s, appUtil=%s, params=%s)",
                  Narrow(package).c_str(), static_cast<long>(o1), static_cast<long>(o2), static_cast<long>(o3),
                  static_cast<long>(o4), static_cast<long>(o5), static_cast<long>(o6), sink != nullptr ? "yes" : "null",
                  reserved != nullptr ? "set" : "null", appUtil != nullptr ? "yes" : "null", Narrow(params).c_str());
    Record(line);
    if (sink == nullptr) return E_POINTER;
    if (Contains(package, L"silent")) return E_ACCESSDENIED;
    BSTR progress = SysAllocString(L"Installing");
    sink->OnProgress(2, 40, 7, progress);
    SysFreeString(progress);
    const bool fail = Contains(package, L"fail");
    BSTR message = SysAllocString(fail ? L"The package could not be installed" : L"Installed");
    sink->OnComplete(fail ? static_cast<LONG>(E_FAIL) : 0, message);
    SysFreeString(message);
    return Contains(package, L"refuse") ? E_ACCESSDENIED : S_OK;
  }
};

// A global: its one standing reference is its own, and it outlives every caller.
class Factory final : public ComObject<IClassFactory, IID_IClassFactory, ComLifetime::kStatic> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Installer* installer = new Installer;
    HRESULT hr = installer->QueryInterface(riid, object);
    installer->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (clsid != CLSID_CabInstaller) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, object);
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }
