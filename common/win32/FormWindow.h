#pragma once

// The Win32 window that shows a velmor::Form: a fixed dialog frame whose client area has the form's
// size in twips, labels and lines painted on its own surface, and real controls for the check box,
// option buttons, command buttons and the picture box. This is its lifetime and the dispatch of its
// messages; the rooms below do the rest: the control windows and their scale (ControlWindows.h),
// painting (FormPainter.h), the dialog keys (DialogKeys.h), the accessible objects
// (AccessibleWindow.h) and what the window does during a step (StepWindow.h). Clicks come back to
// the form model as calls of its click handler; a run-time error escaping a handler is reported
// and ends the program, and so is one caught at the window's border, where the system calls it.

#include <windows.h>

#include <optional>

#include "AccessibleWindow.h"
#include "ComOwners.h"
#include "ControlWindows.h"
#include "DialogKeys.h"
#include "FormModel.h"
#include "FormPainter.h"
#include "Handles.h"
#include "Platform.h"
#include "StepWindow.h"

namespace velmor::win32 {

class FormWindow final : public FormHost {
 public:
  // steps: what the window does during a step, told when the window comes and goes and when a step
  // begins and ends; com is the thread's apartment: decoding the pictures needs it, and starts it
  // if need be; contrast: whether a contrast theme is on, the desktop's setting or a test's.
  FormWindow(HINSTANCE instance, Platform& platform, StepWindow& steps, ComApartment& com,
             FormPainter::ContrastSetting contrast = &ContrastThemeOn);
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;
  ~FormWindow() override;

  void Load(Form& form) override;
  void Show(Form& form) override;
  void Unload(Form& form) override;
  void CaptionChanged(Form& form) override;
  void ControlChanged(Form& form, const Control& control) override;
  void StepBegan(Form& form) override;
  void StepEnded(Form& form) override;

  HWND Handle() const { return window_.get(); }
  // The control windows and the scale they are placed at.
  const ControlWindows& Controls() const { return controls_; }

  // The accessible object of the window's client area (control null) or of a control's own
  // window, the one a screen reader gets from WM_GETOBJECT; null when there is none, or no window.
  Microsoft::WRL::ComPtr<IAccessible> AccessibleObject(const Control* control);

  // The keys the window answers itself, as a dialog does (Tab, the arrow keys, Enter, Esc), for
  // the message loop to call before dispatching; true when the message was used.
  bool HandleKey(const MSG& message) const { return keys_.Handle(message); }

  // Runs the message loop until the window is gone; returns the program's exit code.
  int RunMessageLoop();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept;
  static LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR owner) noexcept;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The answer to WM_GETOBJECT for the client object of the window (control null) or of a control,
  // once the accessible objects exist.
  LRESULT AnswerGetObject(const Control* control, WPARAM wParam);

  void FitClientArea();
  void RepaintInNewColors();
  void MoveToDpi(int dpi, const RECT& suggested);
  void GiveIcons(int dpi);
  void ReportHeldFailure();
  void OnClicked(HWND control);
  void ShowModelMarks();
  void ShowModelMark(HWND window, const Control& control);
  void RestoreFocus();
  void EndProgram(int exitCode);

  HINSTANCE instance_;
  Platform& platform_;
  StepWindow& steps_;
  ComApartment& com_;
  Form* form_ = nullptr;
  ControlWindows controls_;
  FormPainter painter_;
  DialogKeys keys_{controls_, [this](HWND control) { OnClicked(control); }};
  // Owned from WM_NCCREATE; given up at WM_NCDESTROY, when the system has destroyed it.
  UniqueWindow window_;
  int exitCode_ = 0;
  bool ending_ = false;
  // The window is setting a control's check from the model: a BM_SETCHECK that passes during a
  // step, when the controls drop those that others send.
  bool showingModel_ = false;
  // Made with the window, gone with it: the objects a screen reader has been given then answer
  // that they are no longer connected.
  std::optional<AccessibleObjects> accessible_;
  UniqueIcon bigIcon_;
  UniqueIcon smallIcon_;
};

}  // namespace velmor::win32
