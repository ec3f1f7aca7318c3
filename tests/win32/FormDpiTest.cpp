// Both windows moved to a monitor of another DPI, in-process: the test sends what Windows sends a
// per-monitor aware window, WM_GETDPISCALEDSIZE and then WM_DPICHANGED with the suggested
// rectangle. That the layout at the new DPI is, pixel for pixel, the one the program makes when it
// starts at that DPI is shown end to end (the dpi_change scenario); here: controls with one font
// share one font object, a change makes the fonts again and lets the old ones go, the client area
// is the form's whatever frame the system draws, nothing leaks, and coming back gives the layout
// the window started with.

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "FormWindow.h"
#include "TestWindow.h"
#include "setup/Form1.h"
#include "uninstall/Form1.h"

namespace {

class ShownWindow : public TestWindow {
 public:
  explicit ShownWindow(const velmor::FormSpec& spec) : TestWindow(spec) { Paint(); }

  // As Windows does when the window reaches a monitor of that DPI: it asks for the window's size
  // there, and suggests that size where the window is.
  void MoveToDpi(int dpi) {
    SIZE size{};
    ASSERT_TRUE(SendMessageW(Handle(), WM_GETDPISCALEDSIZE, static_cast<WPARAM>(dpi),
                             reinterpret_cast<LPARAM>(&size)));
    RECT suggested{};
    GetWindowRect(Handle(), &suggested);
    suggested.right = suggested.left + size.cx;
    suggested.bottom = suggested.top + size.cy;
    SendMessageW(Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
    Paint();
  }

  void Paint() const { RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }
};

std::vector<HWND> ChildrenOf(HWND window) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

HFONT FontOf(HWND control) {
  return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

// What the window looks like from outside: where it is, its client area, and each control's box
// and font.
struct Layout {
  POINT origin{};
  SIZE client{};
  std::vector<std::tuple<LONG, LONG, LONG, LONG, LONG, LONG, std::wstring>> controls;
  bool operator==(const Layout& other) const {
    return origin.x == other.origin.x && origin.y == other.origin.y &&
           client.cx == other.client.cx && client.cy == other.client.cy &&
           controls == other.controls;
  }
};

Layout LayoutOf(HWND window) {
  Layout layout;
  RECT frame{};
  GetWindowRect(window, &frame);
  layout.origin = {frame.left, frame.top};
  RECT client{};
  GetClientRect(window, &client);
  layout.client = {client.right, client.bottom};
  for (HWND child : ChildrenOf(window)) {
    RECT box{};
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    LOGFONTW font{};
    if (HFONT handle = FontOf(child)) GetObjectW(handle, sizeof(font), &font);
    layout.controls.emplace_back(box.left, box.top, box.right, box.bottom, font.lfHeight,
                                 font.lfWeight, std::wstring(font.lfFaceName));
  }
  return layout;
}

// The GDI objects of this process. Windows counts them (GetGuiResources); Wine's GetGuiResources
// answers 0, and there every live object is found by the low 16 bits of its handle, from which
// Wine resolves a handle.
int GdiObjects() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0) return static_cast<int>(counted);
  int found = 0;
  for (ULONG_PTR low = 1; low < 0x10000; ++low) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(low)) != 0) ++found;
  }
  return found;
}

int SystemDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The five option buttons of the uninstall window have one font, given in five rows of its table;
// the two buttons have fonts of their own. One font object serves each font, before and after a
// change of DPI; a change makes new ones and lets the old ones go.
TEST(FormDpi, ControlsWithOneFontShareOneFontObjectAtEveryDpi) {
  ShownWindow shown(uninstall::kForm1Spec);
  const auto fontsByKind = [&] {
    std::set<HFONT> options;
    std::set<HFONT> buttons;
    for (const velmor::win32::ControlWindows::Child& child : shown.Controls().Children()) {
      const velmor::ControlKind kind = child.control->Spec().kind;
      if (kind == velmor::ControlKind::kOptionButton) options.insert(FontOf(child.window));
      if (kind == velmor::ControlKind::kCommandButton) buttons.insert(FontOf(child.window));
    }
    return std::pair{options, buttons};
  };
  const auto [options, buttons] = fontsByKind();
  ASSERT_EQ(options.size(), 1u);
  EXPECT_EQ(buttons.size(), 2u);
  EXPECT_EQ(buttons.count(*options.begin()), 0u);

  shown.MoveToDpi(144);
  const auto [optionsAt144, buttonsAt144] = fontsByKind();
  ASSERT_EQ(optionsAt144.size(), 1u);
  EXPECT_EQ(buttonsAt144.size(), 2u);
  LOGFONTW before{};
  LOGFONTW after{};
  // The fonts of the old DPI are gone; the new ones are larger.
  EXPECT_EQ(GetObjectW(*options.begin(), sizeof(before), &before), 0);
  ASSERT_NE(GetObjectW(*optionsAt144.begin(), sizeof(after), &after), 0);
  EXPECT_LT(after.lfHeight, 0);
  for (HFONT old : buttons) EXPECT_EQ(GetObjectType(old), 0u);
}

// The window is moved to the suggested rectangle with the form's client area at the new DPI, in
// the window's own scale, whatever frame the system draws (Wine draws it at the system DPI). Back
// at the DPI it started at, every control, font and the client area are as they were.
TEST(FormDpi, AChangeLaysTheWindowOutAgainAndBackGivesTheLayoutItStartedWith) {
  for (const velmor::FormSpec* spec : {&setup::kForm1Spec, &uninstall::kForm1Spec}) {
    ShownWindow shown(*spec);
    const Layout start = LayoutOf(shown.Handle());
    for (const int dpi : {120, 144}) {
      shown.MoveToDpi(dpi);
      const Layout moved = LayoutOf(shown.Handle());
      EXPECT_EQ(shown.Controls().Dpi(), dpi);
      EXPECT_EQ(moved.origin.x, start.origin.x);
      EXPECT_EQ(moved.origin.y, start.origin.y);
      EXPECT_EQ(moved.client.cx, shown.Controls().Px(spec->clientWidth)) << dpi;
      EXPECT_EQ(moved.client.cy, shown.Controls().Px(spec->clientHeight)) << dpi;
      EXPECT_GT(moved.client.cx, start.client.cx) << dpi;
      for (const velmor::win32::ControlWindows::Child& child : shown.Controls().Children()) {
        RECT box{};
        GetWindowRect(child.window, &box);
        MapWindowPoints(nullptr, shown.Handle(), reinterpret_cast<POINT*>(&box), 2);
        const RECT want = shown.Controls().PxRect(child.control->Spec().box);
        EXPECT_TRUE(EqualRect(&box, &want)) << dpi;
      }
    }
    shown.MoveToDpi(SystemDpi());
    EXPECT_TRUE(LayoutOf(shown.Handle()) == start);
  }
}

// A window moved back and forth between monitors holds no more GDI objects after 50 changes than
// after the first, painted each time.
TEST(FormDpi, FiftyChangesLeaveTheGdiObjectsAsTheyWere) {
  ShownWindow shown(setup::kForm1Spec);
  shown.MoveToDpi(120);
  shown.MoveToDpi(SystemDpi());
  const int before = GdiObjects();
  const int dpis[] = {120, 144, 96};
  for (int i = 0; i < 50; ++i) shown.MoveToDpi(dpis[i % 3]);
  shown.MoveToDpi(SystemDpi());
  EXPECT_EQ(GdiObjects(), before);
}

}  // namespace
