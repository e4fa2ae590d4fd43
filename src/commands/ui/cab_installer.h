// The CAB installer component that INSTALLCAB and RESETLASTUPDATE call: a COM class
// registered on the machine, outside this program. Only its slot order is fixed here.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include "host/host_interfaces.h"

extern const CLSID CLSID_CabInstaller;  // {888B4F80-6403-410E-B357-64D04E626783}
extern const IID IID_ICabInstaller;     // {0619537E-F8D2-4592-850D-A99E2398E34A}

struct ICabInstaller : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ResetLastUpdate() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved() = 0;  // never called
  // Installs `package`; reports through `sink` (OnProgress any number of times, OnComplete
  // once, during the call or later). `reserved` is always null; `appUtil` may be null;
  // `params` is the host's Params= text as it stood, in hexadecimal.
  virtual HRESULT STDMETHODCALLTYPE Install(BSTR package, LONG option1, LONG option2, LONG option3, LONG option4,
                                            LONG option5, LONG option6, IHostCallback* sink, void* reserved,
                                            IHostAppUtil* appUtil, BSTR params) = 0;
};
