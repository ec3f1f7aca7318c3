#pragma once

// What the driver and its hook DLL (testbed_hook.dll) agree on. The driver hooks the thread of the
// program's window (WH_GETMESSAGE, SetWindowsHookExW), which loads the DLL into the program, and
// posts kTestBedMessage to the window. The hook takes the message off the queue in the program's
// own thread and does there what no other process can:
// - with a DPI in wParam, it sends the window what Windows sends a per-monitor aware window that
//   reaches a monitor of that DPI (WM_DPICHANGED_BEFOREPARENT to the controls, WM_GETDPISCALEDSIZE,
//   WM_DPICHANGED with the suggested rectangle in the program's memory, WM_DPICHANGED_AFTERPARENT);
// - in any case it has the window painted, and describes it in properties the driver reads: the
//   font of each control (kFontProperty on the control), the sizes of the window's icons
//   (kIconsProperty: big width and height, small width and height, 16 bits each) and the
//   program's GDI objects (kGdiProperty), and last the number in lParam (kDoneProperty), which
//   tells the driver that all of it is there.
// The DLL belongs to the test bed: the programs never load it themselves.

#include <windows.h>

#include <cstdint>

namespace e2e {

inline constexpr wchar_t kTestBedMessage[] = L"VelmorTestBed";
inline constexpr wchar_t kHookDll[] = L"testbed_hook.dll";
inline constexpr char kHookProc[] = "TestBedHook";

inline constexpr wchar_t kDoneProperty[] = L"VelmorTestBedDone";
inline constexpr wchar_t kGdiProperty[] = L"VelmorTestBedGdi";
inline constexpr wchar_t kFontProperty[] = L"VelmorTestBedFont";
inline constexpr wchar_t kIconsProperty[] = L"VelmorTestBedIcons";
// The DPI the hook last moved the window to; Wine's GetDpiForWindow keeps the system DPI.
inline constexpr wchar_t kDpiProperty[] = L"VelmorTestBedDpi";

// A control's font as one property value: its height and weight, character set and face (as a
// global atom), each in a field of its own. No font: 0.
struct FontFields {
  int height = 0;
  int weight = 0;
  int charset = 0;
  ATOM face = 0;
};

inline std::uint64_t PackFont(const FontFields& font) {
  return static_cast<std::uint16_t>(static_cast<std::int16_t>(font.height)) |
         (static_cast<std::uint64_t>(static_cast<std::uint16_t>(font.weight)) << 16) |
         (static_cast<std::uint64_t>(static_cast<std::uint8_t>(font.charset)) << 32) |
         (static_cast<std::uint64_t>(font.face) << 40);
}

inline FontFields UnpackFont(std::uint64_t packed) {
  return {static_cast<std::int16_t>(packed & 0xFFFF), static_cast<int>((packed >> 16) & 0xFFFF),
          static_cast<int>((packed >> 32) & 0xFF), static_cast<ATOM>((packed >> 40) & 0xFFFF)};
}

}  // namespace e2e
