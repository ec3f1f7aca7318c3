#include "Win32Platform.h"

#include <shellapi.h>

#include <vector>

#include "Automation.h"
#include "CommandLine.h"
#include "ErrorText.h"
#include "ExcelTool.h"
#include "Handles.h"
#include "LongPath.h"
#include "MessageText.h"
#include "NativeFiles.h"
#include "SystemLibrary.h"
#include "Win32Support.h"

namespace velmor::win32 {
namespace {

// ERROR_ELEVATION_REQUIRED, which not every SDK's headers define.
constexpr DWORD kErrorElevationRequired = 740;

// Waits until object is signalled or the time is up (INFINITE: no limit; no object: only the
// time); true when the object was signalled. A thread that sits in a plain wait never answers the
// messages other programs send to its windows, and an installer that broadcasts a setting change
// (or opens a DDE conversation) would then wait for this program for ever while this program waits
// for it. So the wait wakes for sent messages, which peeking answers, and for repainting; posted
// messages (clicks, keys, a posted close) stay in the queue and nothing acts on them until the
// step is over.
bool WaitAnsweringSentMessages(HANDLE object, DWORD milliseconds, const wchar_t* operation,
                               const std::wstring& what) {
  const DWORD count = object != nullptr ? 1 : 0;
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    DWORD remaining = INFINITE;
    if (milliseconds != INFINITE) {
      const ULONGLONG elapsed = GetTickCount64() - start;
      if (elapsed >= milliseconds) return false;
      remaining = static_cast<DWORD>(milliseconds - elapsed);
    }
    const DWORD woken = MsgWaitForMultipleObjectsEx(count, count != 0 ? &object : nullptr,
                                                    remaining, QS_SENDMESSAGE | QS_PAINT, 0);
    if (count != 0 && woken == WAIT_OBJECT_0) return true;
    if (woken == WAIT_TIMEOUT) return false;
    if (woken != WAIT_OBJECT_0 + count) throw Win32Error(GetLastError(), operation, what);
    MSG message;
    // Answers every message sent to this thread and removes nothing from the queue.
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_PAINT)) {
      DispatchMessageW(&message);
    }
  }
}

// Waits for a process to end without a time limit and returns its exit code.
DWORD WaitForExit(HANDLE process, const std::wstring& path) {
  WaitAnsweringSentMessages(process, INFINITE, L"プログラムの終了待ち", path);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process, &exitCode)) {
    throw Win32Error(GetLastError(), L"プログラムの終了コードの取得", path);
  }
  return exitCode;
}

// The full path of the running program file.
std::wstring OwnPath() {
  std::wstring path = ModuleFileName();
  if (path.empty()) throw Win32Error(GetLastError(), L"プログラムのフォルダーの取得", L"");
  return path;
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

Win32Platform::Win32Platform(std::wstring title, std::function<HWND()> messageOwner,
                             ComApartment& com)
    : title_(std::move(title)), messageOwner_(std::move(messageOwner)), com_(com) {}

std::wstring Win32Platform::AppPath() { return FolderOf(OwnPath()); }

std::wstring Win32Platform::CommandLine() { return ArgumentsOf(GetCommandLineW(), OwnPath()); }

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

ProgramRun Win32Platform::StartAndWait(const std::wstring& path) {
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
    const DWORD error = GetLastError();
    // Under UAC, CreateProcess does not ask the user; only the shell can.
    if (error == kErrorElevationRequired) return {ProgramRun::Outcome::kNeedsElevation};
    throw StartError(error, path);
  }
  const UniqueHandle processHandle(process.hProcess);
  const UniqueHandle threadHandle(process.hThread);
  return {ProgramRun::Outcome::kEnded, WaitForExit(processHandle.get(), path)};
}

ProgramRun Win32Platform::StartElevatedAndWait(const std::wstring& path) {
  SHELLEXECUTEINFOW execute{};
  execute.cbSize = sizeof(execute);
  // No error box of the shell's own: a failure is reported once, by the run-time error report.
  // (The consent prompt is no error box and still shows.)
  execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  // The consent prompt belongs to this program's window.
  execute.hwnd = messageOwner_ ? messageOwner_() : nullptr;
  execute.lpVerb = L"runas";
  // The file is a file name, never a command line, so a path with spaces is safe here too.
  const std::wstring launchable = LaunchablePath(path);
  execute.lpFile = launchable.c_str();
  execute.nShow = SW_SHOWNORMAL;
  // The shell may hand the start to extensions that COM runs, so COM must be up. Should it fail to
  // start, a program file still starts without it.
  (void)com_.Start();
  if (!ShellExecuteExFromSystem(&execute)) {
    const DWORD error = GetLastError();
    if (error == ERROR_CANCELLED) return {ProgramRun::Outcome::kElevationDeclined};
    throw Win32Error(error, L"プログラムの起動（管理者として）", path);
  }
  const UniqueHandle processHandle(execute.hProcess);
  if (!processHandle) {
    throw Win32Error(ERROR_INVALID_HANDLE, L"プログラムの起動（管理者として）", path);
  }
  return {ProgramRun::Outcome::kEnded, WaitForExit(processHandle.get(), path)};
}

bool Win32Platform::FileExists(const std::wstring& path) { return NativeFileExists(path); }

void Win32Platform::DeleteFileForced(const std::wstring& path) { NativeDeleteFile(path); }

std::unique_ptr<AutomationObject> Win32Platform::CreateObject(std::wstring_view progId) {
  const HRESULT started = com_.Start();
  if (FAILED(started)) throw ComError(started, L"COM の初期化", L"");
  // The objects the programs create are Excel's: COM tries its turned-away calls again for as long
  // as the Excel step does.
  return CreateAutomationObject(
      progId, {static_cast<DWORD>(kBusyLimitMs), static_cast<DWORD>(kBusyPauseMs)});
}

std::uint64_t Win32Platform::TickCount() { return GetTickCount64(); }

void Win32Platform::Pause(std::uint32_t milliseconds) {
  // Messages sent to our windows (a broadcast, for one) are answered while we wait; posted input
  // stays queued, as during any other step of the click.
  WaitAnsweringSentMessages(nullptr, milliseconds, L"Excel の応答待ち", L"");
}

}  // namespace velmor::win32
