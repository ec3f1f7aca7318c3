#pragma once

// Painting a form's window: the labels and lines on its own surface, the graphical buttons, the
// picture boxes and the colours of the real controls, with the fonts, brushes and pictures they
// are painted with. Fonts are kept by what they are (face, size, weight and character set at a
// DPI), so controls that have one font share one font object.

#include <windows.h>

#include <commctrl.h>

#include <compare>
#include <map>
#include <string>

#include "ComOwners.h"
#include "ControlWindows.h"
#include "EventDispatch.h"
#include "FormModel.h"
#include "Handles.h"
#include "Picture.h"

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

// A colour value as a COLORREF: system colour codes through the desktop's colour scheme.
COLORREF ToColorRef(ColorValue color);

// Whether the user has a contrast theme on (SPI_GETHIGHCONTRAST).
bool ContrastThemeOn();

class FormPainter {
 public:
  // Asked at every paint whether a contrast theme is on, which changes the colours painted
  // (PaintedColors.h).
  using ContrastSetting = bool (*)();

  // controls: the window being painted; com: the thread's apartment, which decoding the pictures
  // needs (and starts if need be); borderFailure: where a picture box holds a failure caught at its
  // window procedure's border; contrast: the desktop's setting, or a test's.
  FormPainter(const ControlWindows& controls, ComApartment& com, HeldFailure& borderFailure,
              ContrastSetting contrast = &ContrastThemeOn)
      : controls_(controls), com_(com), borderFailure_(borderFailure), contrast_(contrast) {}
  FormPainter(const FormPainter&) = delete;
  FormPainter& operator=(const FormPainter&) = delete;

  // The picture box's window class. A picture box is created with its painter as its creation
  // parameter (ControlWindows::Create), and paints through it.
  static void RegisterPictureBox(HINSTANCE instance);

  // Gives every real control its font at the window's DPI.
  void GiveFonts(bool redraw);

  // The window is at a new DPI: every control is given its font made for it, and the fonts made
  // for any other DPI go. Nothing is redrawn.
  void DpiChanged();

  // The font, at the window's DPI, made once and then shared.
  HFONT FontFor(const FontSpec& font);
  HBRUSH BrushFor(ColorValue color);

  // The form's own background, for WM_ERASEBKGND.
  void EraseBackground(HDC dc);
  // The labels and lines, for WM_PAINT of the form's window.
  void Paint(HDC dc);
  // A graphical command button: its picture above its caption.
  void DrawGraphicalButton(const DRAWITEMSTRUCT& item);
  // The answer to NM_CUSTOMDRAW from a control: a check box or an option button is drawn whole,
  // its mark at the size Windows uses at the window's DPI; the system's own unthemed drawing makes
  // the mark at the system DPI's size. Any other control draws itself.
  LRESULT DrawMarkedControl(const NMCUSTOMDRAW& draw);
  void PaintPictureBox(HWND window, HDC dc);
  // The answer to WM_CTLCOLORSTATIC and WM_CTLCOLORBTN from a control: its colours set on dc and
  // the brush of its background; null for a window that is not one of the form's controls.
  HBRUSH ControlColors(HWND control, HDC dc);

  // The desktop's colour scheme changed, or a contrast theme came or went: brushes are made again
  // from it.
  void ColorsChanged() { brushes_.clear(); }

 private:
  struct FontKey {
    std::wstring face;
    double points = 0;
    int weight = 0;
    int charset = 0;
    int dpi = 0;
    auto operator<=>(const FontKey&) const = default;
  };

  static LRESULT CALLBACK PictureBoxProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) noexcept;

  // The picture of a resource, decoded once.
  const Picture& PictureOf(int resourceId);

  const ControlWindows& controls_;
  ComApartment& com_;
  HeldFailure& borderFailure_;
  ContrastSetting contrast_;
  std::map<FontKey, UniqueFont> fonts_;
  std::map<ColorValue, UniqueBrush> brushes_;
  std::map<int, Picture> pictures_;
};

}  // namespace velmor::win32
