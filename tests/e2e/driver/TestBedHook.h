#pragma once

// What the driver and its hook DLL (testbed_hook.dll) agree on. The driver hooks the thread of the
// program's window (WH_GETMESSAGE, SetWindowsHookExW), which loads the DLL into the program, and
// posts kTestBedMessage to the window. The hook takes the message off the queue in the program's
// own thread and does there what no other process can:
// - with a DPI in wParam, it sends the window what Windows sends a per-monitor aware window that
//   reaches a monitor of that DPI (WM_DPICHANGED_BEFOREPARENT to the controls, WM_GETDPISCALEDSIZE,
//   WM_DPICHANGED with the suggested rectangle in the program's memory, WM_DPICHANGED_AFTERPARENT);
// - in any case it has the window painted, and describes it in properties the driver reads: as
//   global atoms whose names are the texts, the font of each control (kFontProperty on the
//   control: height, weight, character set and face, or "none") and the sizes of the window's icons
//   (kIconsProperty: "icons <width> x <height> <width> x <height>", big then small); the program's
//   GDI objects and one (kGdiProperty), and last the number in lParam (kDoneProperty), which tells
//   the driver that all of it is there.
// The DLL belongs to the test bed: the programs never load it themselves.

#include <windows.h>

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

}  // namespace e2e
