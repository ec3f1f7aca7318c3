#include "Win32Platform.h"

#include <vector>

#include "Automation.h"
#include "CommandLine.h"
#include "ErrorText.h"
#include "Handles.h"
#include "NativeFiles.h"

namespace velmor::win32 {

Win32Platform::Win32Platform(std::wstring title, std::function<HWND()> messageOwner)
    : title_(std::move(title)), messageOwner_(std::move(messageOwner)) {}

std::wstring Win32Platform::AppPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) throw Win32Error(GetLastError(), L"プログラムのフォルダーの取得", L"");
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      return path.substr(0, path.find_last_of(L'\\'));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring Win32Platform::CommandLine() { return ArgumentsOf(GetCommandLineW()); }

void Win32Platform::MsgBox(std::wstring_view prompt, MsgBoxStyle style,
                           std::optional<std::wstring> title) {
  const std::wstring text(prompt);
  const std::wstring caption = title.value_or(title_);
  const UINT type = MB_OK | static_cast<UINT>(style) | MB_SETFOREGROUND;
  if (MessageBoxW(messageOwner_ ? messageOwner_() : nullptr, text.c_str(), caption.c_str(), type) ==
      0) {
    throw Win32Error(GetLastError(), L"メッセージの表示", caption);
  }
}

std::uint32_t Win32Platform::StartAndWait(const std::wstring& path) {
  constexpr wchar_t kOperation[] = L"プログラムの起動";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  // The program is named explicitly and quoted on its command line: a path with spaces such as
  // "C:\Program Files\..." must never be taken for "C:\Program.exe" with arguments.
  std::wstring commandLine = L"\"" + path + L"\"";
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    throw Win32Error(GetLastError(), kOperation, path);
  }
  const UniqueHandle processHandle(process.hProcess);
  const UniqueHandle threadHandle(process.hThread);
  // No time limit: an installer may wait for its user as long as it likes.
  if (WaitForSingleObject(processHandle.get(), INFINITE) == WAIT_FAILED) {
    throw Win32Error(GetLastError(), L"プログラムの終了待ち", path);
  }
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(processHandle.get(), &exitCode)) {
    throw Win32Error(GetLastError(), L"プログラムの終了コードの取得", path);
  }
  return exitCode;
}

bool Win32Platform::FileExists(const std::wstring& path) { return NativeFileExists(path); }

void Win32Platform::DeleteFileForced(const std::wstring& path) { NativeDeleteFile(path); }

std::unique_ptr<AutomationObject> Win32Platform::CreateObject(std::wstring_view progId) {
  return CreateAutomationObject(progId);
}

std::uint64_t Win32Platform::TickCount() { return GetTickCount64(); }

void Win32Platform::Pause(std::uint32_t milliseconds) {
  // Messages sent to our windows (a broadcast, for one) are answered while we wait; posted input
  // stays queued, as during any other step of the click.
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    const DWORD result =
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_SENDMESSAGE, 0);
    if (result == WAIT_FAILED) {
      Sleep(static_cast<DWORD>(end - now));
      return;
    }
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace velmor::win32
