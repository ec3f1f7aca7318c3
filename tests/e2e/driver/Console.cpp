#include "Console.h"

#include <windows.h>

#include <string>

#include "Utf8.h"

namespace e2e {
namespace {

void Write(DWORD which, std::wstring_view text) {
  HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(h, &mode)) {
    WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const std::string bytes = velmor::Utf8FromWide(text);
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

}  // namespace

void Out(std::wstring_view text) { Write(STD_OUTPUT_HANDLE, text); }
void Err(std::wstring_view text) { Write(STD_ERROR_HANDLE, text); }

}  // namespace e2e
