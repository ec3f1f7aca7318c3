#pragma once

// A GIF or JPEG picture from the program's resources, decoded by OLE and drawn at its own size.

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

namespace velmor::win32 {

class Picture {
 public:
  Picture() = default;
  // Loads the RCDATA resource with that identifier; an empty picture when it cannot be had.
  explicit Picture(int resourceId);

  explicit operator bool() const { return picture_ != nullptr; }

  // The picture's own size in pixels. OLE keeps the size in HIMETRIC, converted from pixels at the
  // screen's DPI when the picture was loaded; dpi is that screen DPI.
  SIZE PixelSize(int dpi) const;

  // Draws the picture with its top-left corner at (x, y), cx by cy device pixels.
  void Draw(HDC dc, int x, int y, int cx, int cy) const;

 private:
  Microsoft::WRL::ComPtr<IPicture> picture_;
};

}  // namespace velmor::win32
