// Ends with the number in its own file name: "exit7.exe" ends with 7; a name without a number ends
// with 99, which the process tests take for a decoy having been started.

#include <windows.h>

#include <cwchar>
#include <string>

int wmain() {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
  const std::wstring path(buffer, length);
  const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
  const std::size_t digits = name.find_first_of(L"0123456789");
  if (digits == std::wstring::npos) return 99;
  return static_cast<int>(std::wcstoul(name.c_str() + digits, nullptr, 10));
}
