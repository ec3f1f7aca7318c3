#include "Win32Platform.h"

#include <vector>

#include "Automation.h"
#include "CommandLine.h"
#include "ErrorText.h"
#include "Handles.h"
#include "LongPath.h"
#include "MessageText.h"
#include "NativeFiles.h"

namespace velmor::win32 {
namespace {

// The full path of the running program file.
std::wstring ModuleFileName() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) throw Win32Error(GetLastError(), L"プログラムのフォルダーの取得", L"");
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

// The form of a program path that process creation takes. A path within the classic limit is used
// as it is. A longer one is given in its short (8.3) form when the volume keeps short names and
// that form is within the limit; otherwise in extended-length form, which Windows' process creation
// takes beyond the limit. (Wine 8 takes neither for a program whose full path reaches 260
// characters.)
std::wstring LaunchablePath(const std::wstring& path) {
  if (!IsLongPath(path)) return path;
  const std::wstring extended = ExtendedLengthPath(path);
  const DWORD needed = GetShortPathNameW(extended.c_str(), nullptr, 0);
  if (needed > 0) {
    std::wstring shortPath(needed, L'\0');
    const DWORD length = GetShortPathNameW(extended.c_str(), shortPath.data(), needed);
    if (length > 0 && length < needed) {
      shortPath.resize(length);
      shortPath = WithoutExtendedPrefix(shortPath);
      if (!IsLongPath(shortPath)) return shortPath;
    }
  }
  return extended;
}

// The long form of a drive path that may hold short (8.3) names, as the user knows its folders:
// each name as the folder's listing gives it. (GetLongPathNameW fails under Wine once the long form
// passes the limit.) Anything it cannot read stays as it is.
std::wstring LongForm(const std::wstring& path) {
  if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return path;
  std::wstring result = path.substr(0, 2);
  std::size_t start = 3;
  while (start <= path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    WIN32_FIND_DATAW entry{};
    const UniqueFind found(FindFirstFileW(ExtendedLengthPath(path.substr(0, end)).c_str(), &entry));
    if (!found) return path;
    result += L'\\';
    result += entry.cFileName;
    start = end + 1;
  }
  return result;
}

// The error for a program that could not be started. A long path to a program that is there is the
// cause to name: the system's own "file not found" would mislead.
RuntimeError StartError(DWORD code, const std::wstring& path) {
  if (IsLongPath(path) &&
      GetFileAttributesW(ExtendedLengthPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
    return PathTooLongError(LongForm(path));
  }
  return Win32Error(code, L"プログラムの起動", path);
}

}  // namespace

Win32Platform::Win32Platform(std::wstring title, std::function<HWND()> messageOwner)
    : title_(std::move(title)), messageOwner_(std::move(messageOwner)) {}

std::wstring Win32Platform::AppPath() { return FolderOf(ModuleFileName()); }

std::wstring Win32Platform::CommandLine() {
  return ArgumentsOf(GetCommandLineW(), ModuleFileName());
}

void Win32Platform::MsgBox(std::wstring_view prompt, MsgBoxStyle style,
                           std::optional<std::wstring> title) {
  const std::wstring text = FitMessageText(prompt);
  const std::wstring caption = title.value_or(title_);
  const UINT type = MB_OK | static_cast<UINT>(style) | MB_SETFOREGROUND;
  if (MessageBoxW(messageOwner_ ? messageOwner_() : nullptr, text.c_str(), caption.c_str(), type) ==
      0) {
    throw Win32Error(GetLastError(), L"メッセージの表示", caption);
  }
}

std::uint32_t Win32Platform::StartAndWait(const std::wstring& path) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  // The program is named explicitly and quoted on its command line: a path with spaces such as
  // "C:\Program Files\..." must never be taken for "C:\Program.exe" with arguments.
  std::wstring commandLine = L"\"" + path + L"\"";
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(LaunchablePath(path).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    throw StartError(GetLastError(), path);
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

}  // namespace velmor::win32
