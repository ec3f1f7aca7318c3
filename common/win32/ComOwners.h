#pragma once

// Owners for the resources of COM and OLE automation: BSTRs, VARIANTs, the fields of an EXCEPINFO,
// COM on a thread and a class object offered to COM. They free through the ole32 and oleaut32
// functions that the support library looks up at first use (SystemLibrary.h).

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <string_view>

#include "Handles.h"
#include "SystemLibrary.h"

namespace velmor::win32 {

using UniqueBstr = Unique<BSTR, &ole::SysFreeString>;

// A new BSTR holding a copy of text (which may contain nulls). Empty when allocation failed.
inline UniqueBstr MakeBstr(std::wstring_view text) {
  return UniqueBstr(ole::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// A VARIANT that is cleared when it goes out of scope.
class UniqueVariant {
 public:
  UniqueVariant() { ole::VariantInit(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  UniqueVariant(UniqueVariant&& other) noexcept : value_(other.value_) {
    ole::VariantInit(&other.value_);
  }
  UniqueVariant& operator=(UniqueVariant&& other) noexcept {
    if (this != &other) {
      ole::VariantClear(&value_);
      value_ = other.value_;
      ole::VariantInit(&other.value_);
    }
    return *this;
  }
  ~UniqueVariant() { ole::VariantClear(&value_); }

  VARIANT* get() { return &value_; }
  const VARIANT* get() const { return &value_; }
  // Clears what is held and lends the VARIANT for an out-parameter.
  VARIANT* put() {
    ole::VariantClear(&value_);
    return &value_;
  }

 private:
  VARIANT value_;
};

// The fields of an EXCEPINFO that the server allocated, freed when it goes out of scope.
class UniqueExcepInfo {
 public:
  UniqueExcepInfo() : info_{} {}
  UniqueExcepInfo(const UniqueExcepInfo&) = delete;
  UniqueExcepInfo& operator=(const UniqueExcepInfo&) = delete;
  ~UniqueExcepInfo() {
    ole::SysFreeString(info_.bstrSource);
    ole::SysFreeString(info_.bstrDescription);
    ole::SysFreeString(info_.bstrHelpFile);
  }
  EXCEPINFO* get() { return &info_; }

 private:
  EXCEPINFO info_;
};

// COM on this thread, single-threaded apartment, for the lifetime of the owner: started at once,
// or, with kOnFirstUse, by the first Start(). The programs need COM only to decode their pictures
// and to reach Excel, and start it then, so that their windows do not wait for it.
class ComApartment {
 public:
  enum class When { kNow, kOnFirstUse };
  explicit ComApartment(When when = When::kNow) {
    if (when == When::kNow) Start();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (started_ && SUCCEEDED(result_) && !leftToProcessEnd_) ole::CoUninitialize();
  }
  // Starts COM unless this owner has tried already; the result of that one attempt.
  HRESULT Start() {
    if (!started_) {
      started_ = true;
      result_ = ole::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    }
    return result_;
  }
  HRESULT Result() const { return result_; }

  // Objects of this thread were handed to other processes (a screen reader's accessible objects):
  // COM is left to end with the process. Wine 8's CoUninitialize can wait without end for a call
  // on them that is just being answered, such as a screen reader's default action that closed the
  // window; the end of the process lets go of them on Windows and Wine alike.
  void LeaveToProcessEnd() { leftToProcessEnd_ = true; }

 private:
  bool started_ = false;
  bool leftToProcessEnd_ = false;
  HRESULT result_ = S_OK;
};

// A class object offered to COM for the lifetime of the registration.
class ClassObjectRegistration {
 public:
  ClassObjectRegistration(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags)
      : result_(CoRegisterClassObject(clsid, factory, context, flags, &cookie_)) {}
  ClassObjectRegistration(const ClassObjectRegistration&) = delete;
  ClassObjectRegistration& operator=(const ClassObjectRegistration&) = delete;
  ~ClassObjectRegistration() {
    if (SUCCEEDED(result_)) CoRevokeClassObject(cookie_);
  }
  HRESULT Result() const { return result_; }

 private:
  DWORD cookie_ = 0;
  HRESULT result_;
};

}  // namespace velmor::win32
