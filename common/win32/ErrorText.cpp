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

std::wstring OperationAndCall(std::wstring_view operation, std::wstring_view call) {
  std::wstring text(operation);
  if (!call.empty()) text.append(L"（").append(call).append(L"）");
  return text;
}

RuntimeError Win32Error(DWORD code, std::wstring_view call, std::wstring_view operation,
                        std::wstring object) {
  return RuntimeError(code, SystemErrorText(code), OperationAndCall(operation, call),
                      std::move(object));
}

RuntimeError ComError(HRESULT result, std::wstring_view call, std::wstring_view operation,
                      std::wstring object) {
  const auto code = static_cast<std::uint32_t>(result);
  return RuntimeError(code, SystemErrorText(code), OperationAndCall(operation, call),
                      std::move(object));
}

}  // namespace velmor::win32
