// The host's interfaces as C++ sees them. resources/host_interfaces.idl is their definition
// (and builds the type library that marshals them); the slots and types here follow it.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

extern const IID IID_IHostCallback;  // {49D10C0E-3C50-4101-9CD4-657E4EC24215}
extern const IID IID_IHostAppUtil;   // {9032F1E1-176A-4B2A-B7E3-A2BD8918C2C7}
extern const GUID LIBID_KivrunHostLib;  // {8C98A878-4155-49ED-A6D7-B420BBAF71B2}

struct IHostCallback : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnProgress(LONG first, LONG second, LONG third, BSTR text) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnComplete(LONG status, BSTR message) = 0;
};

struct IHostAppUtil : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE StartUserApp(BSTR command, LONG number) = 0;
  virtual HRESULT STDMETHODCALLTYPE CloseUserApp(BSTR name, BSTR unused, LONG timeout, LONG flags) = 0;
};
