// testbed_hook.dll: the driver's hook in the program's own thread (TestBedHook.h).

#include "TestBedHook.h"

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {
namespace {

std::vector<HWND> Controls(HWND window) {
  std::vector<HWND> controls;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    controls.push_back(child);
  }
  return controls;
}

HANDLE AsProperty(std::uint64_t value) {
  return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value));
}

// The process's GDI objects. Windows counts them (GetGuiResources); Wine's GetGuiResources answers
// 0, and there every live object is found by the low 16 bits of its handle, from which Wine
// resolves a handle.
std::uint64_t GdiObjects() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0) return counted;
  std::uint64_t found = 0;
  for (ULONG_PTR low = 1; low < 0x10000; ++low) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(low)) != 0) ++found;
  }
  return found;
}

// What Windows does when a per-monitor aware (v2) window reaches a monitor of another DPI: the
// controls hear of it first, from the bottom of the tree up; the window is asked for its size at
// the new DPI (Windows proposes its present size scaled); the window is told of the DPI with the
// rectangle suggested from that size, where the window is; then the controls, from the top down.
void ChangeDpi(HWND window, int dpi) {
  const std::vector<HWND> controls = Controls(window);
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    SendMessageW(*it, WM_DPICHANGED_BEFOREPARENT, 0, 0);
  }
  int from = static_cast<int>(reinterpret_cast<ULONG_PTR>(GetPropW(window, kDpiProperty)));
  if (from == 0) from = static_cast<int>(GetDpiForWindow(window));
  RECT suggested{};
  GetWindowRect(window, &suggested);
  SIZE size{MulDiv(suggested.right - suggested.left, dpi, from),
            MulDiv(suggested.bottom - suggested.top, dpi, from)};
  SendMessageW(window, WM_GETDPISCALEDSIZE, static_cast<WPARAM>(dpi),
               reinterpret_cast<LPARAM>(&size));
  suggested.right = suggested.left + size.cx;
  suggested.bottom = suggested.top + size.cy;
  SetPropW(window, kDpiProperty, AsProperty(static_cast<std::uint64_t>(dpi)));
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  for (HWND control : controls) SendMessageW(control, WM_DPICHANGED_AFTERPARENT, 0, 0);
}

// "<width> x <height>" of the window's big or small icon; "0 x 0" without one.
std::wstring IconSize(HWND window, WPARAM which) {
  ICONINFO info{};
  auto* icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0));
  if (icon == nullptr || !GetIconInfo(icon, &info)) return L"0 x 0";
  BITMAP bitmap{};
  GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap);
  // A monochrome icon's mask holds the icon's AND and XOR halves one above the other.
  const int height = info.hbmColor != nullptr ? bitmap.bmHeight : bitmap.bmHeight / 2;
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return std::to_wstring(bitmap.bmWidth) + L" x " + std::to_wstring(height);
}

void SetTextProperty(HWND window, const wchar_t* name, const std::wstring& text) {
  SetPropW(window, name, AsProperty(GlobalAddAtomW(text.c_str())));
}

// Paints what is waiting to be painted, so that the screen shows all of the window once the
// program next waits for messages, and so that the objects painting makes are there when they are
// counted; then describes the window.
void Describe(HWND window, LPARAM done) {
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  for (HWND control : Controls(window)) {
    std::wstring text = L"none";
    LOGFONTW font{};
    if (GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font),
                   &font) != 0) {
      text = std::to_wstring(font.lfHeight) + L" " + std::to_wstring(font.lfWeight) + L" " +
             std::to_wstring(font.lfCharSet) + L" " + font.lfFaceName;
    }
    SetTextProperty(control, kFontProperty, text);
  }
  SetTextProperty(window, kIconsProperty,
                  L"icons " + IconSize(window, ICON_BIG) + L" " + IconSize(window, ICON_SMALL));
  SetPropW(window, kGdiProperty, AsProperty(GdiObjects() + 1));
  SetPropW(window, kDoneProperty, reinterpret_cast<HANDLE>(done));
}

}  // namespace
}  // namespace e2e

extern "C" __declspec(dllexport) LRESULT CALLBACK
    TestBedHook(int code, WPARAM removed, LPARAM message) {
  static const UINT testBed = RegisterWindowMessageW(e2e::kTestBedMessage);
  auto* msg = reinterpret_cast<MSG*>(message);
  if (code == HC_ACTION && removed == PM_REMOVE && msg->message == testBed && testBed != 0) {
    const HWND window = msg->hwnd;
    const WPARAM dpi = msg->wParam;
    const LPARAM done = msg->lParam;
    // The program itself never sees the message.
    msg->message = WM_NULL;
    if (dpi != 0) e2e::ChangeDpi(window, static_cast<int>(dpi));
    e2e::Describe(window, done);
  }
  return CallNextHookEx(nullptr, code, removed, message);
}
