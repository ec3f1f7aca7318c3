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
  // The RCDATA resource with that identifier. It is decoded when the picture is first measured or
  // drawn, which is when the window paints: decoding (through OLE and the system's codecs) then no
  // longer delays the window's appearance. An empty picture when the resource cannot be had.
  explicit Picture(int resourceId) : resourceId_(resourceId) {}

  // The picture's own size in pixels, whatever the DPI of the window it is drawn in: OLE keeps the
  // size in HIMETRIC, converted from pixels at the screen's DPI when the picture was decoded, and
  // it is converted back at that DPI.
  SIZE PixelSize() const;

  // Draws the picture with its top-left corner at (x, y), cx by cy device pixels.
  void Draw(HDC dc, int x, int y, int cx, int cy) const;

 private:
  // The decoded picture, or null when there is none; decodes on first use.
  IPicture* Decoded() const;

  int resourceId_ = 0;
  mutable bool decoded_ = false;
  mutable int decodedAtDpi_ = 96;
  mutable Microsoft::WRL::ComPtr<IPicture> picture_;
};

}  // namespace velmor::win32
