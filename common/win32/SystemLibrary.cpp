#include "SystemLibrary.h"

#include "Handles.h"

namespace velmor::win32 {
namespace {

// uxtheme.dll from the system folder, never a copy beside the program or on the PATH; loaded on
// first use and kept until the program ends.
HMODULE UxTheme() {
  static const UniqueModule library(
      LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  return library.get();
}

}  // namespace

bool SetWindowThemeFromSystem(HWND window, const wchar_t* subAppName, const wchar_t* subIdList) {
  using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  const HMODULE library = UxTheme();
  if (library == nullptr) return false;
  // GetProcAddress returns a generic function pointer; void (*)() is the cast that compilers accept
  // between function pointer types without a warning.
  const auto setWindowTheme = reinterpret_cast<SetWindowThemeFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "SetWindowTheme")));
  return setWindowTheme != nullptr && SUCCEEDED(setWindowTheme(window, subAppName, subIdList));
}

}  // namespace velmor::win32
