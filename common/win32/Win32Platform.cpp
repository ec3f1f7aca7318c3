#include "Win32Platform.h"

#include <shellapi.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "Accounts.h"
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

constexpr wchar_t kElevatedStart[] = L"管理者権限でのプログラムの起動";

// Waits until object is signalled or the time is up (INFINITE: no limit; no object: only the
// time); true when the object was signalled. The wait is a modal loop, as a dialog's is: every
// message is read and dispatched, so that the messages other programs send to our windows are
// answered (an installer that broadcasts a setting change waits for every window), the window
// repaints, and Windows does not take it for hung (a window whose thread has read no input for 5
// seconds is ghosted as "not responding": IsHungAppWindow). During a step, keyboard and mouse input
// is read and dropped (the window stays enabled, see StepState.h): a key typed now must not act
// later, on a message box that opens after the wait, say. The frame's input is not: a move or the
// system menu runs its own loop inside the dispatch, and when it ends the wait goes on at once, an
// installer that has ended meanwhile noticed. A failure the window's border held while the wait
// dispatched ends the wait, and with it the step.
bool WaitPumpingMessages(HANDLE object, DWORD milliseconds, const wchar_t* operation,
                         const std::wstring& what, StepWindow& steps) {
  const DWORD count = object != nullptr ? 1 : 0;
  const ULONGLONG start = GetTickCount64();
  bool quitPending = false;  // the loop has been asked to end: only sent messages from now on
  for (;;) {
    DWORD remaining = INFINITE;
    if (milliseconds != INFINITE) {
      const ULONGLONG elapsed = GetTickCount64() - start;
      if (elapsed >= milliseconds) return false;
      remaining = static_cast<DWORD>(milliseconds - elapsed);
    }
    const DWORD woken = MsgWaitForMultipleObjectsEx(
        count, count != 0 ? &object : nullptr, remaining,
        quitPending ? QS_SENDMESSAGE : QS_ALLINPUT, quitPending ? 0 : MWMO_INPUTAVAILABLE);
    if (count != 0 && woken == WAIT_OBJECT_0) return true;
    if (woken == WAIT_TIMEOUT) return false;
    if (woken != WAIT_OBJECT_0 + count) {
      throw Win32Error(GetLastError(), L"MsgWaitForMultipleObjectsEx", operation, what);
    }
    MSG message;
    if (quitPending) {
      // Answers every message sent to this thread and removes nothing from the queue.
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      continue;
    }
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // For the message loop that runs once the step is over.
        PostQuitMessage(static_cast<int>(message.wParam));
        quitPending = true;
        break;
      }
      if (steps.DropsInput(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
      steps.BorderFailure().ThrowIfHeld();
    }
  }
}

// Waits for a process to end without a time limit and returns its exit code.
DWORD WaitForExit(HANDLE process, const std::wstring& path, StepWindow& steps) {
  const StepWork work(steps, StepEvent::kInstallerStarted, StepEvent::kInstallerEnded);
  WaitPumpingMessages(process, INFINITE, L"プログラムの終了待ち", path, steps);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process, &exitCode)) {
    throw Win32Error(GetLastError(), L"GetExitCodeProcess", L"プログラムの終了コードの取得", path);
  }
  return exitCode;
}

// The full path of the running program file.
std::wstring OwnPath() {
  std::wstring path = ModuleFileName();
  if (path.empty()) {
    throw Win32Error(GetLastError(), L"GetModuleFileNameW", L"プログラムのフォルダーの取得", L"");
  }
  return path;
}

// A path that starts with a drive letter and its root, such as C:\.
bool IsDrivePath(const std::wstring& path) {
  return path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
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
  if (!IsDrivePath(path)) return path;
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
  return Win32Error(code, L"CreateProcessW", L"プログラムの起動", path);
}

// The folder a program starts in: its own, never the folder this program was started from (a
// download folder, say, where a DLL the installer loads by a bare name could be planted). It is
// given as the program's path gives it when that fits a current folder, which is what an installer
// shows; otherwise in the short form the program is started by (Wine 8 refuses a short form). One
// that fits in neither is reported as too long, as CreateProcessW would refuse it.
std::wstring StartFolder(const std::wstring& given, const std::wstring& launchable,
                         const std::wstring& path) {
  for (const std::wstring* form : {&given, &launchable}) {
    std::wstring folder = FolderOf(*form);
    if (!IsLongPath(folder + L"\\")) return folder;
  }
  throw StartError(ERROR_FILENAME_EXCED_RANGE, path);
}

// The path an elevated program can be started by: the UNC form of a path on a mapped network
// drive, which the elevated logon session does not have; any other path as it is.
std::wstring ElevatablePath(const std::wstring& path) {
  if (!IsDrivePath(path)) return path;
  const std::wstring root = path.substr(0, 3);
  if (GetDriveTypeW(root.c_str()) != DRIVE_REMOTE) return path;
  const std::wstring universal = UniversalNameFromSystem(path);
  return universal.empty() ? path : universal;
}

// Excel's main window class. Every Excel has one such top-level window from its start to its end,
// hidden while Excel runs for automation only.
constexpr wchar_t kExcelWindowClass[] = L"XLMAIN";

// EnumWindows' callback: adds the process of an Excel main window to the list, once.
BOOL CALLBACK AddExcelProcess(HWND window, LPARAM list) noexcept {
  wchar_t className[std::size(kExcelWindowClass) + 1] = {};
  const int length = GetClassNameW(window, className, static_cast<int>(std::size(className)));
  if (length <= 0 ||
      !EqualsIgnoringCase({className, static_cast<std::size_t>(length)}, kExcelWindowClass)) {
    return TRUE;
  }
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  auto& processes = *reinterpret_cast<std::vector<std::uint32_t>*>(list);
  try {
    if (std::find(processes.begin(), processes.end(), process) == processes.end()) {
      processes.push_back(process);
    }
  } catch (...) {
    return FALSE;  // out of memory: the list so far
  }
  return TRUE;
}

}  // namespace

Win32Platform::Win32Platform(std::wstring title, StepWindow& steps, ComApartment& com)
    : steps_(steps), title_(std::move(title)), com_(com) {}

std::wstring Win32Platform::AppPath() { return FolderOf(OwnPath()); }

std::wstring Win32Platform::CommandLine() { return ArgumentsOf(GetCommandLineW(), OwnPath()); }

void Win32Platform::MsgBox(std::wstring_view prompt, MsgBoxStyle style,
                           std::optional<std::wstring> title) {
  const std::wstring text = FitMessageText(prompt);
  const std::wstring caption = title.value_or(title_);
  const UINT type = MB_OK | static_cast<UINT>(style) | MB_SETFOREGROUND;
  // A failure the window's border held ends the step before anything more is shown or started.
  steps_.BorderFailure().ThrowIfHeld();
  HWND owner = steps_.Window();
  // Input queued before the box opens is dropped, and the owner is enabled for it (StepWindow).
  const StepWork box(steps_, StepEvent::kMessageOpened, StepEvent::kMessageClosed);
  // Windows keeps a program from taking the foreground from the program the user works in, so the
  // box may open behind it: the taskbar button flashes until the user comes back.
  HWND foreground = GetForegroundWindow();
  if (owner != nullptr && foreground != nullptr && !IsOwnWindow(foreground)) {
    FLASHWINFO flash{sizeof(flash), owner, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
  }
  if (MessageBoxW(owner, text.c_str(), caption.c_str(), type) == 0) {
    throw Win32Error(GetLastError(), L"MessageBoxW", L"メッセージの表示", caption);
  }
  steps_.BorderFailure().ThrowIfHeld();  // held while the box's own loop ran
}

ProgramRun Win32Platform::StartAndWait(const std::wstring& path) {
  steps_.BorderFailure().ThrowIfHeld();
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  // The program is named explicitly and quoted on its command line: a path with spaces such as
  // "C:\Program Files\..." must never be taken for "C:\Program.exe" with arguments.
  std::wstring commandLine = L"\"" + path + L"\"";
  const std::wstring launchable = LaunchablePath(path);
  const std::wstring folder = StartFolder(path, launchable, path);
  PROCESS_INFORMATION process{};
  // Started suspended, so that it may take the foreground before it opens its first window: a
  // program we start is not allowed to come in front of ours otherwise, and the installer's window
  // could open behind the setup window.
  if (!CreateProcessW(launchable.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED, nullptr, folder.c_str(), &startup, &process)) {
    const DWORD error = GetLastError();
    // Under UAC, CreateProcess does not ask the user; only the shell can.
    if (error == kErrorElevationRequired) return {ProgramRun::Outcome::kNeedsElevation};
    throw StartError(error, path);
  }
  const UniqueHandle processHandle(process.hProcess);
  const UniqueHandle threadHandle(process.hThread);
  AllowSetForegroundWindow(process.dwProcessId);
  if (ResumeThread(process.hThread) == static_cast<DWORD>(-1)) {
    const DWORD error = GetLastError();
    TerminateProcess(process.hProcess, error);
    throw Win32Error(error, L"ResumeThread", L"プログラムの起動", path);
  }
  return {ProgramRun::Outcome::kEnded, WaitForExit(processHandle.get(), path, steps_)};
}

ProgramRun Win32Platform::StartElevatedAndWait(const std::wstring& path) {
  steps_.BorderFailure().ThrowIfHeld();
  SHELLEXECUTEINFOW execute{};
  execute.cbSize = sizeof(execute);
  // No error box of the shell's own: a failure is reported once, by the run-time error report.
  // (The consent prompt is no error box and still shows.)
  execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  // The consent prompt belongs to this program's window.
  execute.hwnd = steps_.Window();
  execute.lpVerb = L"runas";
  // The elevated program runs in another logon session, which does not see the user's mapped
  // network drives: a program on one is named by its UNC path.
  const std::wstring elevatable = ElevatablePath(path);
  const std::wstring launchable = LaunchablePath(elevatable);
  // The file is a file name, never a command line, so a path with spaces is safe here too.
  execute.lpFile = launchable.c_str();
  // The shell would otherwise give an elevated program the system folder.
  const std::wstring folder = StartFolder(elevatable, launchable, path);
  execute.lpDirectory = folder.c_str();
  execute.nShow = SW_SHOWNORMAL;
  // Its process id is not known before it starts, so any process may take the foreground once.
  AllowSetForegroundWindow(ASFW_ANY);
  // The shell may hand the start to extensions that COM runs, so COM must be up. Should it fail to
  // start, a program file still starts without it.
  (void)com_.Start();
  if (!ShellExecuteExFromSystem(&execute)) {
    const DWORD error = GetLastError();
    if (error == ERROR_CANCELLED) return {ProgramRun::Outcome::kElevationDeclined};
    throw Win32Error(error, L"ShellExecuteExW", kElevatedStart, path);
  }
  const UniqueHandle processHandle(execute.hProcess);
  if (!processHandle) {
    throw Win32Error(ERROR_INVALID_HANDLE, L"ShellExecuteExW", kElevatedStart, path);
  }
  return {ProgramRun::Outcome::kEnded, WaitForExit(processHandle.get(), path, steps_)};
}

bool Win32Platform::FileExists(const std::wstring& path) { return NativeFileExists(path); }

void Win32Platform::DeleteFileForced(const std::wstring& path) { NativeDeleteFile(path); }

// An Excel the program drives: from just before it is started until its process has ended, for
// the window to refuse the session's end meanwhile (StepState.h). Its process is the Excel that
// appeared with it (none ran before: the step makes sure of that), held from its start, so that a
// process number given again to another program is never taken for it. After each call, a failure
// the window's border held (COM's wait dispatched the window's messages) ends the step.
class Win32Platform::ObservedObject final : public AutomationObject {
 public:
  ObservedObject(Win32Platform& platform, std::wstring_view progId)
      : steps_(platform.steps_), before_(platform.ExcelProcesses()) {
    steps_.Report(StepEvent::kExcelStarted);
    try {
      inner_ = CreateAutomationObject(progId);
    } catch (...) {
      Watch(platform.ExcelProcesses());  // one may have started all the same
      LetGo();
      throw;
    }
    Watch(platform.ExcelProcesses());
  }
  ObservedObject(const ObservedObject&) = delete;
  ObservedObject& operator=(const ObservedObject&) = delete;
  ~ObservedObject() override {
    inner_.reset();
    LetGo();
  }
  void Put(std::wstring_view member, const AutomationArg& value) override {
    inner_->Put(member, value);
    steps_.BorderFailure().ThrowIfHeld();
  }
  std::unique_ptr<AutomationObject> GetProperty(std::wstring_view member) override {
    std::unique_ptr<AutomationObject> object = inner_->GetProperty(member);
    steps_.BorderFailure().ThrowIfHeld();
    return object;
  }
  std::unique_ptr<AutomationObject> Call(std::wstring_view member,
                                         const std::vector<AutomationArg>& args) override {
    std::unique_ptr<AutomationObject> object = inner_->Call(member, args);
    steps_.BorderFailure().ThrowIfHeld();
    return object;
  }

 private:
  void Watch(const std::vector<std::uint32_t>& now) {
    for (const std::uint32_t process : now) {
      if (process_ || std::find(before_.begin(), before_.end(), process) != before_.end()) continue;
      process_.reset(OpenProcess(SYNCHRONIZE, FALSE, process));
    }
  }
  // Excel writes its add-in list as it ends, after the last reference is let go of; it is given
  // as long to end as the step gives its own Excel before it counts as open (ExcelTool.h).
  void LetGo() noexcept { steps_.ExcelLetGo(std::move(process_), kOwnExcelEndLimitMs); }

  StepWindow& steps_;
  std::vector<std::uint32_t> before_;
  UniqueHandle process_;
  std::unique_ptr<AutomationObject> inner_;
};

bool Win32Platform::FileInUse(const std::wstring& path) { return NativeFileInUse(path); }

std::vector<PathLink> Win32Platform::LinksOnPath(const std::wstring& path) {
  return NativeLinksOnPath(path);
}

std::wstring Win32Platform::ProgramAccount() { return ProcessAccount(); }

std::optional<std::wstring> Win32Platform::DesktopAccount() { return ShellAccount(); }

std::wstring Win32Platform::AccountName(const std::wstring& account) {
  return AccountNameOf(account);
}

std::vector<std::uint32_t> Win32Platform::ExcelProcesses() {
  std::vector<std::uint32_t> processes;
  // Top-level windows only, hidden ones included.
  EnumWindows(&AddExcelProcess, reinterpret_cast<LPARAM>(&processes));
  return processes;
}

std::unique_ptr<AutomationObject> Win32Platform::CreateObject(std::wstring_view progId) {
  steps_.BorderFailure().ThrowIfHeld();
  const HRESULT started = com_.Start();
  if (FAILED(started)) throw ComError(started, L"CoInitializeEx", L"COM の初期化", L"");
  // The objects the programs create are Excel's.
  return std::make_unique<ObservedObject>(*this, progId);
}

std::uint64_t Win32Platform::TickCount() { return GetTickCount64(); }

void Win32Platform::Pause(std::uint32_t milliseconds) {
  WaitPumpingMessages(nullptr, milliseconds, L"Excel の応答待ち", L"", steps_);
}

}  // namespace velmor::win32
