// Ends with the number in its own file name: "exit7.exe" ends with 7; a name without a number ends
// with 99, which the process tests take for a decoy having been started.

#include <cwchar>
#include <string>

#include "Win32Support.h"

int wmain() {
  const std::wstring name = velmor::win32::FileNameOf(velmor::win32::ModuleFileName());
  const std::size_t digits = name.find_first_of(L"0123456789");
  if (digits == std::wstring::npos) return 99;
  return static_cast<int>(std::wcstoul(name.c_str() + digits, nullptr, 10));
}
