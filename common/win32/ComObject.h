#pragma once

// What every COM object we implement shares: IUnknown for the one interface it offers, with a
// reference count that starts at zero (the first owner, a ComPtr, adds the first reference) and
// deletes the object at zero; and the border that keeps exceptions out of COM's code.

#include <windows.h>

#include <unknwn.h>

#include <new>

namespace velmor::win32 {

template <typename Interface>
class ComObject : public Interface {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == __uuidof(Interface)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ULONG references_ = 0;
};

// Runs the body of a COM method. An exception must not unwind into the caller's stub: a failed
// allocation answers E_OUTOFMEMORY, anything else E_UNEXPECTED.
template <typename Body>
HRESULT ComBorder(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace velmor::win32
