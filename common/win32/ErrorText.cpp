#include "ErrorText.h"

#include "Handles.h"

namespace velmor::win32 {
namespace {

// Plain words for the failures of starting an automation server, clearer for the user than the
// system's own ("Invalid class string").
const wchar_t* KnownErrorText(std::uint32_t code) {
  switch (code) {
    case 0x800401F3u:  // CO_E_CLASSSTRING
      return L"このプログラム ID "
             L"は登録されていません。アプリケーションがインストールされていない可能性があります。";
    case 0x80040154u:  // REGDB_E_CLASSNOTREG
      return L"クラスが登録されていません。アプリケーションがインストールされていない可能性がありま"
             L"す。";
    case 0x80080005u:  // CO_E_SERVER_EXEC_FAILURE
      return L"アプリケーションを起動できませんでした。";
    case 0x800706BAu:  // RPC_S_SERVER_UNAVAILABLE
    case 0x800706BEu:  // RPC_S_CALL_FAILED
      return L"アプリケーションが応答しません。終了したか、応答できない状態です。";
    default:
      return nullptr;
  }
}

}  // namespace

std::wstring SystemErrorText(std::uint32_t code) {
  if (const wchar_t* known = KnownErrorText(code)) return known;
  UniqueLocal<wchar_t*> buffer;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
  if (length == 0) return L"システムはこのエラーの説明を持っていません。";
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
