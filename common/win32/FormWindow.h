#pragma once

// The Win32 window that shows a velmor::Form: a fixed dialog frame whose client area has the form's
// size in twips, labels and lines painted on its own surface, and real controls for the check box,
// option buttons, command buttons and the picture box. Clicks come back to the form model as calls
// of its click handler; a run-time error escaping a handler is reported and ends the program.

#include <windows.h>

#include <map>
#include <vector>

#include "ComOwners.h"
#include "FormModel.h"
#include "Handles.h"
#include "Picture.h"
#include "Platform.h"

namespace velmor::win32 {

class FormWindow final : public FormHost {
 public:
  // com is the thread's apartment: decoding the pictures needs it, and starts it if need be.
  FormWindow(HINSTANCE instance, Platform& platform, ComApartment& com);
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;
  ~FormWindow() override;

  void Load(Form& form) override;
  void Show(Form& form) override;
  void Unload(Form& form) override;
  void CaptionChanged(Form& form) override;
  void ControlChanged(Form& form, const Control& control) override;
  void StepEnded(Form& form) override;

  HWND Handle() const { return window_.get(); }

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
  bool HandleKey(const MSG& message);
  void RestoreFocus();
  HWND WindowOf(const Control* control) const;
  void EndProgram(int exitCode);

  int Px(int twips) const { return MulDiv(twips, dpi_, 1440); }
  RECT PxRect(const TwipsRect& box) const;
  HFONT FontFor(const FontSpec& font);
  HBRUSH BrushFor(ColorValue color);
  Child* ChildOf(HWND window);

  HINSTANCE instance_;
  Platform& platform_;
  ComApartment& com_;
  Form* form_ = nullptr;
  // Owned from WM_NCCREATE; given up at WM_NCDESTROY, when the system has destroyed it.
  UniqueWindow window_;
  int dpi_ = 96;
  int exitCode_ = 0;
  bool ending_ = false;
  bool shutdownBlocked_ = false;  // a reason given to the system for refusing to end the session
  std::vector<Child> children_;
  std::map<const FontSpec*, UniqueFont> fonts_;
  std::map<ColorValue, UniqueBrush> brushes_;
  UniqueIcon bigIcon_;
  UniqueIcon smallIcon_;
};

// A colour value as a COLORREF: system colour codes through the desktop's colour scheme.
COLORREF ToColorRef(ColorValue color);

}  // namespace velmor::win32
