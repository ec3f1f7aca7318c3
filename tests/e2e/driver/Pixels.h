#pragma once

// What the driver reads of the screen: window pictures saved as files, the screen's DPI and
// pixels, pictures decoded as the programs decode theirs, and the pixel checks built on them.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Saves what the screen shows in a rectangle as a PNG file.
void SaveScreenPicture(const RECT& rect, const std::wstring& path);

// The screen's DPI; the driver is DPI-aware (Run), so this is the DPI the programs see.
int ScreenDpi();

int TwipsToPx(long twips);

// The header of a 32-bit bitmap whose rows go from the top down, as these pixels do.
BITMAPINFO TopDownBitmap(int width, int height);

// A rectangle of the screen as 0x00RRGGBB pixels, row by row from the top.
std::vector<DWORD> CaptureScreen(const RECT& r);

// A picture file decoded by OLE, as the programs decode theirs, drawn at its own pixel size on
// white and on black: where both agree the picture is opaque.
struct DecodedPicture {
  int width = 0;
  int height = 0;
  std::vector<DWORD> onWhite, onBlack;
};

DecodedPicture DecodePicture(const std::wstring& path);

// The text drawn in a rectangle of the screen: the lines it stands on, and whether any of it
// touches the right or bottom edge, where a caption too long for its box would be cut off.
struct CaptionLines {
  int lines = 0;
  bool edge = false;
};

CaptionLines MeasureCaptionLines(const RECT& box);

// Where the picture is drawn pixel for pixel in a rectangle of the screen: at its top-left corner
// (atCorner, clipped to the rectangle) or anywhere wholly inside it. Empty when it is not drawn.
std::optional<POINT> FindPicture(const DecodedPicture& picture, const RECT& box, bool atCorner);

}  // namespace e2e
