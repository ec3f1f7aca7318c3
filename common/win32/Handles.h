#pragma once

// Owners for the Win32 resources that the programs, the stand-ins and the test driver use (those of
// COM and OLE automation are in ComOwners.h). Each is move-only; get() lends the resource, put()
// hands out the address for an out-parameter after freeing what was held, release() gives it up.

#include <windows.h>

#include <utility>

namespace velmor::win32 {

// An owner of one kind of resource, declared in one line by the function that frees it. Win32
// reports a failed handle as null or, for files and searches, as INVALID_HANDLE_VALUE; neither is
// ever freed. Freeing leaves the calling thread's last error as it was, so an owner going out of
// scope between a failed call and its GetLastError does not change the answer.
template <typename T, auto Close>
class Unique {
 public:
  Unique() = default;
  explicit Unique(T value) : value_(value) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : value_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~Unique() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return IsValid(value_); }
  T* put() {
    reset();
    return &value_;
  }
  // Lends the address of what is held, for an in/out parameter that may replace it; whatever is
  // there afterwards is what the owner frees.
  T* address() { return &value_; }
  T release() { return std::exchange(value_, T{}); }
  void reset(T value = T{}) {
    if (IsValid(value_)) {
      const DWORD error = GetLastError();
      Close(value_);
      SetLastError(error);
    }
    value_ = value;
  }

 private:
  static bool IsValid(T value) {
    return value != T{} && value != reinterpret_cast<T>(INVALID_HANDLE_VALUE);
  }

  T value_{};
};

// A top-level window. One its user closed is destroyed already, so only a window that still exists
// is destroyed.
inline void DestroyLiveWindow(HWND window) {
  if (IsWindow(window)) DestroyWindow(window);
}

using UniqueHandle = Unique<HANDLE, &CloseHandle>;
using UniqueFind = Unique<HANDLE, &FindClose>;  // a search begun with FindFirstFileW
using UniqueHkey = Unique<HKEY, &RegCloseKey>;
using UniqueModule = Unique<HMODULE, &FreeLibrary>;  // a DLL loaded with LoadLibraryExW
using UniqueGlobal = Unique<HGLOBAL, &GlobalFree>;   // memory from GlobalAlloc
using UniqueWindow = Unique<HWND, &DestroyLiveWindow>;
// Memory that an API allocated with LocalAlloc for its caller to free, such as the argument array
// of CommandLineToArgvW or the text of FormatMessageW.
template <typename P>
using UniqueLocal = Unique<P, &LocalFree>;
using UniqueFont = Unique<HFONT, &DeleteObject>;
using UniqueBrush = Unique<HBRUSH, &DeleteObject>;
using UniquePen = Unique<HPEN, &DeleteObject>;
using UniqueBitmap = Unique<HBITMAP, &DeleteObject>;
using UniqueMemoryDC = Unique<HDC, &DeleteDC>;  // a memory device context from CreateCompatibleDC
using UniqueIcon = Unique<HICON, &DestroyIcon>;

// A window's device context from GetDC (nullptr: the screen's), given back with ReleaseDC, which
// needs the window as well.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// The device context of a window's WM_PAINT, from BeginPaint to EndPaint.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(window_, &paint_); }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects an object into a device context for the lifetime of the guard, then puts back the object
// it displaced.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace velmor::win32
