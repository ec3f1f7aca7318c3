#pragma once

// What a control's colours are painted in. The logic keeps and compares the colour values it set
// (Colors.h); the painter asks here what to paint for them.
//
// Without a contrast theme that is the values themselves. A contrast theme (high contrast) sets the
// desktop's colours in pairs, each text colour readable only on the background it belongs to:
// button text on button face, disabled text and hyperlinks on the window background. The add-in
// labels' states and the done blue are then painted in such pairs, so that they stay apart and
// readable:
// - not chosen (3-D highlight, a bevel colour that a theme need not keep readable on the button
//   face: High Contrast White sets it light grey on white) in the disabled-text colour;
// - chosen (button text) as it is;
// - done (the fixed blue, which no theme changes and which is dark on a dark button face) in the
//   hyperlink colour.
// Every other colour is painted as it is.

#include "Colors.h"

namespace velmor {

struct PaintedColors {
  ColorValue text = 0;
  ColorValue background = 0;
  bool operator==(const PaintedColors&) const = default;
};

// text, background: a control's colour values; contrastTheme: whether a contrast theme is on.
constexpr PaintedColors ColorsToPaint(ColorValue text, ColorValue background, bool contrastTheme) {
  if (!contrastTheme) return {text, background};
  switch (text) {
    case k3DHighlight:
      return {kGrayText, kWindowBackground};
    case kButtonText:
      return {kButtonText, kButtonFace};
    case kBlue:
      return {kHotLight, kWindowBackground};
    default:
      return {text, background};
  }
}

}  // namespace velmor
