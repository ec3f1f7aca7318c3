#pragma once

// The control windows of a form's window and the scale that places them: which window shows which
// control of the model, and twips as pixels at the DPI the window is at. Painting, the dialog keys,
// the accessible objects and the window's own dispatch all work through this; it knows none of
// them.

#include <windows.h>

#include <vector>

#include "FormModel.h"

namespace velmor::win32 {

// The window class of a picture box, which its painter registers (FormPainter.h).
inline constexpr wchar_t kPictureBoxClass[] = L"VelmorPictureBox";

// Registers a window class of the program, with the arrow cursor. A class registered already (by
// an earlier window of this process) is used as it is. Throws RuntimeError.
void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure);

// Twips as device pixels: 1440 twips to the inch, so 15 to a pixel at 96 DPI. Every edge is
// rounded on its own, so that boxes that meet in twips meet in pixels.
struct TwipsScale {
  int dpi = 96;
  int Px(int twips) const { return MulDiv(twips, dpi, 1440); }
  RECT PxRect(const TwipsRect& box) const {
    return RECT{Px(box.left), Px(box.top), Px(box.left + box.width), Px(box.top + box.height)};
  }
};

// Whether a control of that kind has a window of its own; labels and lines are painted on the
// form's surface.
bool IsWindowed(ControlKind kind);

// Whether a control of that kind shows a check mark: check boxes and option buttons.
bool HasCheckState(ControlKind kind);

class ControlWindows {
 public:
  struct Child {
    Control* control;
    HWND window;
  };

  ControlWindows() = default;
  ControlWindows(const ControlWindows&) = delete;
  ControlWindows& operator=(const ControlWindows&) = delete;

  // Creates a window for every windowed control of the model as a child of form, placed at dpi.
  // A picture box is created with pictureBoxParam as its creation parameter. Throws RuntimeError
  // when a control cannot be made; the controls made so far go with the form's window.
  void Create(HINSTANCE instance, HWND form, Form& model, int dpi, void* pictureBoxParam);

  // The form's window is gone, and its controls with it.
  void Clear();

  // Moves every control to its twips rectangle at a new DPI, rounded as at creation. Nothing is
  // redrawn: the caller repaints the window once all of it is laid out.
  void Rescale(int dpi);

  // The form's window, the controls' parent.
  HWND Parent() const { return form_; }
  Form* Model() const { return model_; }
  int Dpi() const { return scale_.dpi; }
  const TwipsScale& Scale() const { return scale_; }
  int Px(int twips) const { return scale_.Px(twips); }
  RECT PxRect(const TwipsRect& box) const { return scale_.PxRect(box); }

  const std::vector<Child>& Children() const { return children_; }
  // The window of a control; null for a painted control, or none.
  HWND WindowOf(const Control* control) const;
  // The control a window of the form shows; null for any other window.
  Control* ControlOf(HWND window) const;

 private:
  HWND form_ = nullptr;
  Form* model_ = nullptr;
  TwipsScale scale_;
  std::vector<Child> children_;
};

}  // namespace velmor::win32
