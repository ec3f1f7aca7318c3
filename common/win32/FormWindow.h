#pragma once

// The Win32 window that shows a velmor::Form: a fixed dialog frame whose client area has the form's
// size in twips, labels and lines painted on its own surface, and real controls for the check box,
// option buttons, command buttons and the picture box. Clicks come back to the form model as calls
// of its click handler; a run-time error escaping a handler is reported and ends the program.

#include <windows.h>

#include <map>
#include <optional>
#include <vector>

#include "AccessibleWindow.h"
#include "ComOwners.h"
#include "FormModel.h"
#include "Handles.h"
#include "Picture.h"
#include "Platform.h"
#include "StepWindow.h"

namespace velmor::win32 {

// Whether an owner-drawn control draws its focus rectangle, from its DRAWITEMSTRUCT state: when it
// has the focus and the keyboard cues are shown (Windows hides them until Alt or Tab is used).
constexpr bool DrawsFocusRect(UINT itemState) {
  return (itemState & ODS_FOCUS) != 0 && (itemState & ODS_NOFOCUSRECT) == 0;
}

// Whether a control that draws itself marks the focus: it has the focus, and the window's
// WM_QUERYUISTATE answer does not hide focus cues.
constexpr bool ShowsFocusMark(bool focused, LRESULT uiState) {
  return focused && (uiState & UISF_HIDEFOCUS) == 0;
}

class FormWindow final : public FormHost {
 public:
  // steps: what the window does during a step, told when the window comes and goes and when a step
  // begins and ends; com is the thread's apartment: decoding the pictures needs it, and starts it
  // if need be.
  FormWindow(HINSTANCE instance, Platform& platform, StepWindow& steps, ComApartment& com);
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

  // For the accessible objects: the form, a control's window and a box in client pixels, and what
  // the window is during a step (unavailable while one runs).
  const Form* Model() const { return form_; }
  StepOutputs StepNow() const { return steps_.Outputs(); }
  HWND WindowOf(const Control* control) const;
  RECT PxRect(const TwipsRect& box) const;

  // The accessible object of the window's client area (control null) or of a control's own
  // window, the one a screen reader gets from WM_GETOBJECT; null when there is none, or no window.
  Microsoft::WRL::ComPtr<IAccessible> AccessibleObject(const Control* control);

  // The keys the window answers itself, as a dialog does (Tab, the arrow keys, Enter, Esc), for
  // the message loop to call before dispatching; true when the message was used.
  bool HandleKey(const MSG& message);

  // Runs the message loop until the window is gone; returns the program's exit code.
  int RunMessageLoop();

 private:
  struct Child {
    Control* control;
    HWND window;
    Picture picture;
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept;
  static LRESULT CALLBACK PictureBoxProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) noexcept;
  static LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR owner) noexcept;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void CreateChildren();
  void Paint(HDC dc);
  void DrawGraphicalButton(const DRAWITEMSTRUCT& item);
  void PaintPictureBox(HWND window, HDC dc);
  void OnClicked(HWND control);
  void ShowModelMarks();
  void ShowModelMark(const Child& child);
  void RestoreFocus();
  void ShowKeyboardCues();
  void EndProgram(int exitCode);

  int Px(int twips) const { return MulDiv(twips, dpi_, 1440); }
  HFONT FontFor(const FontSpec& font);
  HBRUSH BrushFor(ColorValue color);
  Child* ChildOf(HWND window);

  HINSTANCE instance_;
  Platform& platform_;
  StepWindow& steps_;
  ComApartment& com_;
  Form* form_ = nullptr;
  // Owned from WM_NCCREATE; given up at WM_NCDESTROY, when the system has destroyed it.
  UniqueWindow window_;
  int dpi_ = 96;
  int exitCode_ = 0;
  bool ending_ = false;
  // The window is setting a control's check from the model: a BM_SETCHECK that passes during a
  // step, when the controls drop those that others send.
  bool showingModel_ = false;
  std::vector<Child> children_;
  // Made with the window, gone with it: the objects a screen reader has been given then answer
  // that they are no longer connected.
  std::optional<AccessibleObjects> accessible_;
  std::map<const FontSpec*, UniqueFont> fonts_;
  std::map<ColorValue, UniqueBrush> brushes_;
  UniqueIcon bigIcon_;
  UniqueIcon smallIcon_;
};

// A colour value as a COLORREF: system colour codes through the desktop's colour scheme.
COLORREF ToColorRef(ColorValue color);

}  // namespace velmor::win32
