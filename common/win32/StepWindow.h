#pragma once

// The one Win32 part that applies a step's state (StepState.h) to the program's window: it keeps
// the window enabled, drops what was queued and the input the step's waits read (but the frame's),
// shows the busy cursor, gives the system the reason for refusing to end the session and answers
// its query until the Excel a step started has ended, ends the program when the session ends,
// refuses a close, and takes the activation back at the end of a step. The window and the
// platform only report what happens. It also holds a failure caught at the window's border until
// the program's own code goes on (EventDispatch.h).

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "EventDispatch.h"
#include "Handles.h"
#include "StepState.h"

namespace velmor::win32 {

// Whether a window is the desktop itself or the taskbar, so that no program is the one the user
// works in when it is the foreground window: the desktop window, the shell's window (Progman,
// which GetShellWindow answers), the WorkerW windows that Explorer draws the desktop in, and the
// taskbars (Shell_TrayWnd, and Shell_SecondaryTrayWnd on other monitors).
bool IsDesktopOrTaskbar(HWND window);

class StepWindow {
 public:
  StepWindow() = default;
  StepWindow(const StepWindow&) = delete;
  StepWindow& operator=(const StepWindow&) = delete;
  ~StepWindow() { Attach(nullptr); }

  // The window the steps belong to; null when there is none (yet, or any more). A reason given to
  // the system goes with the window it was given for.
  void Attach(HWND window);
  HWND Window() const { return window_; }

  // A step begins; reason is what the system shows when the step refuses to end the session.
  void StepBegan(std::wstring reason);

  // Moves the state on and applies what follows. The effects are returned for what only the
  // reporter can do; giveFocusBack holds only once the window has the activation, when it has
  // taken it back from no program or from the desktop.
  StepEffects Report(StepEvent event);

  StepOutputs Outputs() const { return state_.Outputs(); }

  // The answer to a message that the state decides, for the window procedure to return: the busy
  // cursor (WM_SETCURSOR), a close refused during a step (WM_CLOSE), the end of the session refused
  // (WM_QUERYENDSESSION), the session's end (WM_ENDSESSION, after which it does not return) and the
  // timer that watches an ending Excel (WM_TIMER). Empty when the window handles the message as it
  // otherwise would.
  std::optional<LRESULT> Answer(UINT message, WPARAM wParam);

  // Whether the step's wait drops a message it has read: keyboard input, and pointer input (mouse,
  // touch, pen) but on the window's frame, while the state drops input.
  bool DropsInput(const MSG& message) const;

  // Whether a message that reaches one of the window's controls, sent or posted by anyone, is
  // dropped: while the controls are unavailable, keyboard and pointer input and the messages that
  // click a button or set its check (BM_CLICK, BM_SETCHECK).
  bool DropsControlMessage(UINT message) const;

  // The Excel that a step started (kExcelStarted) has been let go of, or failed to start; it ends
  // on its own, in this process (none: it has ended, or cannot be watched). It counts as ended
  // (kExcelEnded) once the process has, or limitMs from now: its end is not waited for longer.
  void ExcelLetGo(UniqueHandle process, std::uint64_t limitMs);

  // A failure caught at the window's border, held until the program's own code goes on.
  HeldFailure& BorderFailure() { return borderFailure_; }

 private:
  struct EndingExcel {
    UniqueHandle process;
    ULONGLONG deadline = 0;
  };

  void NoteEndedExcels();
  void DropQueuedClicks() const;
  bool TakeActivation() const;
  bool CursorOverWindow() const;

  StepState state_;
  HWND window_ = nullptr;
  std::wstring reason_;
  bool shutdownBlocked_ = false;  // a reason is given to the system for window_
  std::vector<EndingExcel> endingExcels_;
  HeldFailure borderFailure_;
};

// Reports work that lasts as long as this object does (a message box, an installer, an Excel):
// began when it is made, ended when it goes.
class StepWork {
 public:
  StepWork(StepWindow& steps, StepEvent began, StepEvent ended) : steps_(steps), ended_(ended) {
    steps_.Report(began);
  }
  StepWork(const StepWork&) = delete;
  StepWork& operator=(const StepWork&) = delete;
  ~StepWork() { steps_.Report(ended_); }

 private:
  StepWindow& steps_;
  StepEvent ended_;
};

}  // namespace velmor::win32
