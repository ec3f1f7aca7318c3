#include "ErrorText.h"

#include "Handles.h"

namespace velmor::win32 {

std::wstring SystemErrorText(std::uint32_t code) {
  UniqueLocal<wchar_t*> buffer;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
  if (length == 0) return kNoErrorDescription;
  std::wstring text(buffer.get(), length);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return text;
}

RuntimeError Win32Error(DWORD code, std::wstring operation, std::wstring object) {
  return RuntimeError(code, SystemErrorText(code), std::move(operation), std::move(object));
}

RuntimeError ComError(HRESULT result, std::wstring operation, std::wstring object) {
  const auto code = static_cast<std::uint32_t>(result);
  return RuntimeError(code, SystemErrorText(code), std::move(operation), std::move(object));
}

}  // namespace velmor::win32
