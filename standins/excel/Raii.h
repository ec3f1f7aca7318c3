#pragma once

// Owners for the Win32 and OLE resources the stand-in handles: strings, variants, registry keys,
// windows and the COM apartment. Each frees its resource exactly once.

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace excel {

class UniqueBstr {
 public:
  UniqueBstr() = default;
  explicit UniqueBstr(std::wstring_view text)
      : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  // Takes over a string the callee of a COM call allocated.
  static UniqueBstr Adopt(BSTR value) {
    UniqueBstr owner;
    owner.value_ = value;
    return owner;
  }
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  UniqueBstr(UniqueBstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  UniqueBstr& operator=(UniqueBstr&& other) noexcept {
    if (this != &other) {
      Reset();
      value_ = std::exchange(other.value_, nullptr);
    }
    return *this;
  }
  ~UniqueBstr() { Reset(); }

  BSTR Get() const { return value_; }
  // For passing the string by reference (VT_BSTR | VT_BYREF).
  BSTR* Address() { return &value_; }
  // Hands the string to a caller that frees it (an out parameter of a COM call).
  BSTR Detach() { return std::exchange(value_, nullptr); }
  void Reset() {
    if (value_ != nullptr) SysFreeString(std::exchange(value_, nullptr));
  }
  std::wstring Text() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : L""; }

 private:
  BSTR value_ = nullptr;
};

class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  UniqueVariant(UniqueVariant&& other) noexcept : value_(other.value_) {
    VariantInit(&other.value_);
  }
  UniqueVariant& operator=(UniqueVariant&& other) noexcept {
    if (this != &other) {
      VariantClear(&value_);
      value_ = other.value_;
      VariantInit(&other.value_);
    }
    return *this;
  }
  ~UniqueVariant() { VariantClear(&value_); }

  VARIANT* Put() {
    VariantClear(&value_);
    return &value_;
  }
  VARIANT* Get() { return &value_; }
  const VARIANT* Get() const { return &value_; }
  // Moves the content into a caller-owned variant (an out parameter), leaving this one empty.
  void MoveTo(VARIANT* target) {
    *target = value_;
    VariantInit(&value_);
  }

 private:
  VARIANT value_;
};

class UniqueHkey {
 public:
  UniqueHkey() = default;
  explicit UniqueHkey(HKEY key) : key_(key) {}
  UniqueHkey(const UniqueHkey&) = delete;
  UniqueHkey& operator=(const UniqueHkey&) = delete;
  UniqueHkey(UniqueHkey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  UniqueHkey& operator=(UniqueHkey&& other) noexcept {
    if (this != &other) {
      Reset();
      key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
  }
  ~UniqueHkey() { Reset(); }

  HKEY Get() const { return key_; }
  HKEY* Put() {
    Reset();
    return &key_;
  }
  explicit operator bool() const { return key_ != nullptr; }
  void Reset() {
    if (key_ != nullptr) RegCloseKey(std::exchange(key_, nullptr));
  }

 private:
  HKEY key_ = nullptr;
};

class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

class UniqueWindow {
 public:
  UniqueWindow() = default;
  explicit UniqueWindow(HWND window) : window_(window) {}
  UniqueWindow(const UniqueWindow&) = delete;
  UniqueWindow& operator=(const UniqueWindow&) = delete;
  ~UniqueWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  HWND Get() const { return window_; }
  void Reset(HWND window) {
    if (window_ != nullptr) DestroyWindow(window_);
    window_ = window;
  }

 private:
  HWND window_ = nullptr;
};

// Joins the calling thread to a single-threaded apartment for the lifetime of the object.
class ApartmentScope {
 public:
  ApartmentScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ApartmentScope(const ApartmentScope&) = delete;
  ApartmentScope& operator=(const ApartmentScope&) = delete;
  ~ApartmentScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace excel
