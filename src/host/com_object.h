// The IUnknown half of a COM object that implements one interface: an interlocked reference
// count, and QueryInterface answering IUnknown and that interface.
//
//   class Sink final : public ComObject<IHostCallback, IID_IHostCallback> { ... };
#pragma once
#include <windows.h>
#include <unknwn.h>

// kHeap objects delete themselves when the last reference goes; a kStatic object (a class
// factory in a global) keeps counting but is never deleted.
enum class ComLifetime { kHeap, kStatic };

template <class Interface, const IID& kInterfaceId, ComLifetime kLifetime = ComLifetime::kHeap>
class ComObject : public Interface {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == kInterfaceId) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0 && kLifetime == ComLifetime::kHeap) delete this;
    return static_cast<ULONG>(left);
  }

 protected:
  // `references` is the count the object starts with: 1 when its maker holds it from the
  // start, 0 when the maker takes its reference with AddRef like any other holder.
  explicit ComObject(LONG references = 1) : references_(references) {}
  virtual ~ComObject() = default;

 private:
  LONG references_;
};
