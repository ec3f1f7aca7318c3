#pragma once

// The keys a form's window answers itself, as a dialog does: Tab and Shift+Tab move the focus in
// tab order, the arrow keys select among the option buttons, Enter presses a focused command
// button, and Esc does nothing. The form model decides (Form::KeyDown); this carries it out on the
// control windows.

#include <windows.h>

#include <functional>
#include <utility>

#include "ControlWindows.h"

namespace velmor::win32 {

class DialogKeys {
 public:
  // press: clicks a command button, as the window does for a click from the mouse.
  DialogKeys(const ControlWindows& controls, std::function<void(HWND control)> press)
      : controls_(controls), press_(std::move(press)) {}

  // For the message loop to call before dispatching: true when the message was a key the window
  // answered.
  bool Handle(const MSG& message) const;

 private:
  // The keyboard moves the focus: from now on the controls show where it is.
  void ShowKeyboardCues() const;

  const ControlWindows& controls_;
  std::function<void(HWND control)> press_;
};

}  // namespace velmor::win32
