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

// shell32.dll from the system folder, loaded on first use and kept until the program ends.
HMODULE Shell32() {
  static const UniqueModule library(
      LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  return library.get();
}

// A function of a loaded DLL by name. GetProcAddress returns a generic function pointer; void (*)()
// is the cast that compilers accept between function pointer types without a warning.
template <typename Function>
Function FunctionOf(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

bool SetWindowThemeFromSystem(HWND window, const wchar_t* subAppName, const wchar_t* subIdList) {
  using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  const auto setWindowTheme = FunctionOf<SetWindowThemeFunction>(UxTheme(), "SetWindowTheme");
  return setWindowTheme != nullptr && SUCCEEDED(setWindowTheme(window, subAppName, subIdList));
}

BOOL ShellExecuteExFromSystem(SHELLEXECUTEINFOW* info) {
  using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  const auto shellExecuteEx = FunctionOf<ShellExecuteExFunction>(Shell32(), "ShellExecuteExW");
  // GetLastError still holds the loader's reason when the library or the function is missing.
  return shellExecuteEx != nullptr ? shellExecuteEx(info) : FALSE;
}

}  // namespace velmor::win32
