#include "Accounts.h"

#include <aclapi.h>
#include <sddl.h>

#include "ErrorText.h"
#include "Handles.h"

namespace velmor::win32 {
namespace {

// The user of a token; empty when it cannot be read.
std::wstring TokenAccount(HANDLE token) {
  // TOKEN_USER and the largest identifier there is, aligned as the structure is.
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } buffer{};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, &buffer, sizeof buffer, &size)) return {};
  return SidText(buffer.user.User.Sid);
}

}  // namespace

std::wstring SidText(PSID sid) {
  UniqueLocal<wchar_t*> text;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, text.put())) return {};
  return text.get();
}

std::wstring ProcessAccount() {
  UniqueHandle token;
  std::wstring account;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
    account = TokenAccount(token.get());
  }
  if (account.empty()) {
    throw Win32Error(GetLastError(), L"GetTokenInformation", L"実行中のアカウントの確認", L"");
  }
  return account;
}

std::optional<std::wstring> ShellAccount() {
  HWND shell = GetShellWindow();
  DWORD processId = 0;
  if (shell == nullptr || GetWindowThreadProcessId(shell, &processId) == 0) return std::nullopt;
  const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  UniqueHandle token;
  if (!process || !OpenProcessToken(process.get(), TOKEN_QUERY, token.put())) {
    // Refused: another account's. Any other failure (the shell ended meanwhile) tells nothing.
    if (GetLastError() == ERROR_ACCESS_DENIED) return std::wstring();
    return std::nullopt;
  }
  std::wstring account = TokenAccount(token.get());
  if (account.empty()) return std::nullopt;
  return account;
}

std::wstring AccountNameOf(const std::wstring& account) {
  UniqueLocal<PSID> sid;
  if (!ConvertStringSidToSidW(account.c_str(), sid.put())) return account;
  wchar_t name[256];
  wchar_t domain[256];
  DWORD nameLength = 256;
  DWORD domainLength = 256;
  SID_NAME_USE use{};
  if (!LookupAccountSidW(nullptr, sid.get(), name, &nameLength, domain, &domainLength, &use)) {
    return account;
  }
  return domainLength == 0 ? std::wstring(name) : std::wstring(domain) + L"\\" + name;
}

std::wstring OwnerOf(HANDLE object) {
  PSID owner = nullptr;
  UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
  if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, descriptor.put()) != ERROR_SUCCESS) {
    return {};
  }
  return SidText(owner);
}

}  // namespace velmor::win32
