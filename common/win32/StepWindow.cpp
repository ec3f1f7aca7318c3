#include "StepWindow.h"

#include <iterator>
#include <utility>

#include "Win32Support.h"

namespace velmor::win32 {
namespace {

constexpr wchar_t kDesktopClasses[][24] = {L"WorkerW", L"Progman", L"Shell_TrayWnd",
                                           L"Shell_SecondaryTrayWnd"};

HCURSOR SystemCursor(int id) { return LoadCursorW(nullptr, MAKEINTRESOURCEW(id)); }
constexpr int kArrow = 32512;      // IDC_ARROW
constexpr int kBusyArrow = 32650;  // IDC_APPSTARTING: busy, but the window still answers

// The timer on the window that looks whether an Excel let go of has ended, and how often.
constexpr UINT_PTR kExcelEndTimer = 0x5E70;
constexpr UINT kExcelEndPollMs = 250;

// What kind of input a message of IsUserInput is, for a window: the pointer on the frame when it
// is the window's own non-client area (a control's is part of the client area it lies in).
InputKind KindOfInput(UINT message, HWND target, HWND window) {
  if (message >= WM_KEYFIRST && message <= WM_KEYLAST) return InputKind::kKeys;
  const bool nonClient = (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) ||
                         (message >= WM_NCPOINTERUPDATE && message <= WM_NCPOINTERUP);
  return nonClient && target == window && window != nullptr ? InputKind::kFrame
                                                            : InputKind::kPointer;
}

}  // namespace

bool IsDesktopOrTaskbar(HWND window) {
  if (window == nullptr) return false;
  if (window == GetDesktopWindow() || window == GetShellWindow()) return true;
  wchar_t name[std::size(kDesktopClasses[0])] = {};
  const int length = GetClassNameW(window, name, static_cast<int>(std::size(name)));
  if (length <= 0) return false;
  for (const wchar_t* desktop : kDesktopClasses) {
    if (EqualsIgnoringCase({name, static_cast<std::size_t>(length)}, desktop)) return true;
  }
  return false;
}

void StepWindow::Attach(HWND window) {
  if (window == window_) return;
  if (shutdownBlocked_ && window_ != nullptr) ShutdownBlockReasonDestroy(window_);
  shutdownBlocked_ = false;
  // Without the window nothing asks about the session's end any more: the Excels let go of are
  // not watched for it.
  if (!endingExcels_.empty()) {
    if (window_ != nullptr) KillTimer(window_, kExcelEndTimer);
    for (std::size_t i = endingExcels_.size(); i > 0; --i) state_.On(StepEvent::kExcelEnded);
    endingExcels_.clear();
  }
  window_ = window;
}

void StepWindow::ExcelLetGo(UniqueHandle process, std::uint64_t limitMs) {
  if (window_ == nullptr || !process) {
    Report(StepEvent::kExcelEnded);
    return;
  }
  endingExcels_.push_back({std::move(process), GetTickCount64() + limitMs});
  SetTimer(window_, kExcelEndTimer, kExcelEndPollMs, nullptr);
}

// Each Excel let go of whose process has ended, or whose time is up, has ended.
void StepWindow::NoteEndedExcels() {
  const ULONGLONG now = GetTickCount64();
  for (auto it = endingExcels_.begin(); it != endingExcels_.end();) {
    if (WaitForSingleObject(it->process.get(), 0) == WAIT_TIMEOUT && now < it->deadline) {
      ++it;
      continue;
    }
    it = endingExcels_.erase(it);
    Report(StepEvent::kExcelEnded);
  }
  if (endingExcels_.empty() && window_ != nullptr) KillTimer(window_, kExcelEndTimer);
}

void StepWindow::StepBegan(std::wstring reason) {
  reason_ = std::move(reason);
  Report(StepEvent::kBegan);
}

StepEffects StepWindow::Report(StepEvent event) {
  const StepOutputs before = state_.Outputs();
  StepState next = state_;
  StepEffects effects = next.On(event);
  // What was queued goes before the new state shows: a screen reader or a test that asks whether
  // the step is over (the accessible objects' unavailable state) while it goes still hears of the
  // step, so what it types once it hears the step has ended is not dropped with it. Queued input
  // goes even without a window: a message box opening before the window exists would take it.
  if (effects.dropQueuedInput) DropQueuedInput();
  if (window_ != nullptr && effects.dropQueuedClicks) DropQueuedClicks();
  state_ = next;
  const StepOutputs after = state_.Outputs();
  if (window_ == nullptr) return {.dropQueuedInput = effects.dropQueuedInput};

  // A message box disables its owner while it shows and, when it closes, enables and activates the
  // owner only if the owner was enabled when it opened: the window is enabled for it, as always.
  if (after.enabled && !IsWindowEnabled(window_)) EnableWindow(window_, TRUE);
  if (after.busyCursor != before.busyCursor && CursorOverWindow()) {
    SetCursor(SystemCursor(after.busyCursor ? kBusyArrow : kArrow));
  }
  // Windows asks for the reason to be given when the work begins, not when the session is about
  // to end; it is shown to a user who signs out or shuts down meanwhile.
  if (after.refusesSessionEnd && !shutdownBlocked_) {
    shutdownBlocked_ = ShutdownBlockReasonCreate(window_, reason_.c_str()) != FALSE;
  } else if (!after.refusesSessionEnd && shutdownBlocked_) {
    ShutdownBlockReasonDestroy(window_);
    shutdownBlocked_ = false;
  }
  if (effects.giveFocusBack) effects.giveFocusBack = TakeActivation();
  return effects;
}

std::optional<LRESULT> StepWindow::Answer(UINT message, WPARAM wParam) {
  if (message == WM_QUERYENDSESSION || (message == WM_TIMER && wParam == kExcelEndTimer)) {
    NoteEndedExcels();
  }
  const StepOutputs now = state_.Outputs();
  switch (message) {
    case WM_SETCURSOR:
      // The controls' default handling asks their parent first, so this covers the whole window.
      if (!now.busyCursor) return std::nullopt;
      SetCursor(SystemCursor(kBusyArrow));
      return TRUE;
    case WM_CLOSE:
      // The close box, Alt+F4 or a close another program sends while a step waits: the step's
      // handler would go on underneath a window that is gone.
      if (now.unavailable) return 0;
      return std::nullopt;
    case WM_QUERYENDSESSION:
      if (now.refusesSessionEnd) return FALSE;
      return std::nullopt;
    case WM_ENDSESSION:
      // Agreed to by every program: Windows may end the process at any moment once this has been
      // answered (WM_ENDSESSION). A step on the stack must not go on to start an installer or
      // Excel meanwhile, so the program ends here. Ended the session was not (FALSE): it goes on.
      if (wParam != FALSE && Report(StepEvent::kSessionEnded).endProgram) ExitProcess(0);
      return std::nullopt;
    case WM_TIMER:
      if (wParam == kExcelEndTimer) return 0;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

bool StepWindow::DropsInput(const MSG& message) const {
  return IsUserInput(message.message) &&
         state_.Outputs().Drops(KindOfInput(message.message, message.hwnd, window_));
}

bool StepWindow::DropsControlMessage(UINT message) const {
  if (!state_.Outputs().unavailable) return false;
  return IsUserInput(message) || message == BM_CLICK || message == BM_SETCHECK;
}

// The clicks queued for the window and its controls: a click posted to a control (BM_CLICK,
// BM_SETCHECK), as a screen reader's default action or another program's automation does, and the
// notification a control posts to its parent.
void StepWindow::DropQueuedClicks() const {
  MSG message;
  while (PeekMessageW(&message, window_, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
  }
  for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    while (PeekMessageW(&message, child, BM_SETCHECK, BM_SETCHECK, PM_REMOVE) ||
           PeekMessageW(&message, child, BM_CLICK, BM_CLICK, PM_REMOVE)) {
    }
  }
}

// The window takes the activation back when no other program has it: the step's last message box
// or installer window has closed, and the activation went to no window or to the desktop. When
// another program is in front, the user works there, and a window that took the foreground from it
// would not get it anyway (SetForegroundWindow's conditions): only its taskbar button would flash.
bool StepWindow::TakeActivation() const {
  HWND foreground = GetForegroundWindow();
  if (foreground != nullptr && !IsDesktopOrTaskbar(foreground) && !IsOwnWindow(foreground)) {
    return false;
  }
  if (foreground != window_) SetForegroundWindow(window_);
  return true;
}

bool StepWindow::CursorOverWindow() const {
  POINT cursor{};
  if (!GetCursorPos(&cursor)) return false;
  RECT frame{};
  GetWindowRect(window_, &frame);
  return PtInRect(&frame, cursor) != FALSE;
}

}  // namespace velmor::win32
