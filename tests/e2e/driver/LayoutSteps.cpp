// The steps that check the window's layout: its client area, the controls' places, stacking and
// focus, the captions' lines, the pictures, a screenshot. And those that move the window to
// another DPI and compare its layout with the one it has when it starts at that DPI: Wine cannot
// move a window to a monitor of another DPI, and a WM_DPICHANGED sent from another process carries
// no rectangle, so the driver moves the window as Windows would from inside the program's own
// thread, through the test bed's hook (TestBedHook.h).

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>
#include <utility>

#include "Driver.h"
#include "TestBedHook.h"
#include "Utf8.h"
#include "Win32Support.h"

namespace e2e {
namespace {

// The hook of the program's thread, set once per thread and kept until the driver ends (the
// system removes it with the driver's process).
void HookThreadOf(HWND window) {
  static HMODULE library = nullptr;
  static std::map<DWORD, HHOOK> hooked;
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (thread == 0) Fail(L"the window no longer exists");
  if (hooked.count(thread) != 0) return;
  if (library == nullptr) {
    const std::wstring path = FolderOf(velmor::win32::ModuleFileName()) + kHookDll;
    library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) FailWith(L"cannot load " + Quote(path), GetLastError());
  }
  const auto procedure =
      reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(GetProcAddress(library, kHookProc)));
  HHOOK hook =
      procedure != nullptr ? SetWindowsHookExW(WH_GETMESSAGE, procedure, library, thread) : nullptr;
  if (hook == nullptr) FailWith(L"cannot hook the program's thread", GetLastError());
  hooked.emplace(thread, hook);
}

// Has the hook move the window to dpi (0: not move it) and describe it; waits until it has.
HWND AskHook(Driver& d, int dpi) {
  static ULONG_PTR asked = 0;
  HWND window = d.RequireWindow();
  HookThreadOf(window);
  const UINT message = RegisterWindowMessageW(kTestBedMessage);
  const ULONG_PTR number = ++asked;
  if (!PostMessageW(window, message, static_cast<WPARAM>(dpi), static_cast<LPARAM>(number))) {
    FailWith(L"cannot post to the window", GetLastError());
  }
  d.WaitFor([&] { return reinterpret_cast<ULONG_PTR>(GetPropW(window, kDoneProperty)) == number; },
            dpi != 0 ? L"the window to be moved to " + std::to_wstring(dpi) + L" DPI"
                     : std::wstring(L"the window to be described"));
  return window;
}

// A text the hook has left in a property of a window.
std::wstring TextProperty(HWND window, const wchar_t* name) {
  wchar_t text[256] = {};
  GlobalGetAtomNameW(static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(window, name))), text,
                     256);
  return text;
}

// The client area and the icons, then each control, top of the stack first.
using Layout = std::vector<std::wstring>;

RECT ClientRectOf(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return r;
}

// The window as the hook has just described it.
Layout LayoutOf(HWND window) {
  Layout layout{L"client " + SizeText(ClientRectOf(window)), TextProperty(window, kIconsProperty)};
  for (HWND child : ChildWindows(window)) {
    if (GetParent(child) != window) continue;
    RECT box{};
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    layout.push_back(L"control " + ClassName(child) + L" " + Quote(WindowText(child)) + L" at " +
                     std::to_wstring(box.left) + L" " + std::to_wstring(box.top) + L" " +
                     std::to_wstring(box.right) + L" " + std::to_wstring(box.bottom) + L" font " +
                     TextProperty(child, kFontProperty));
  }
  return layout;
}

struct Capture {
  int width = 0;
  int height = 0;
  std::vector<DWORD> pixels;  // 0x00RRGGBB, row by row from the top
  bool operator==(const Capture&) const = default;
};

Capture CaptureClient(HWND window) {
  RECT client = ClientRectOf(window);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  return {client.right - client.left, client.bottom - client.top, CaptureScreen(client)};
}

// A 32-bit top-down BMP file, which picture viewers show.
void SaveCapture(const Capture& capture, const std::wstring& path) {
  const DWORD imageSize = static_cast<DWORD>(capture.pixels.size() * sizeof(DWORD));
  const BITMAPINFOHEADER info = TopDownBitmap(capture.width, capture.height).bmiHeader;
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(info);
  const BITMAPFILEHEADER file{0x4D42 /* "BM" */, offset + imageSize, 0, 0, offset};
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
  bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
  bytes.append(reinterpret_cast<const char*>(capture.pixels.data()), imageSize);
  WriteBytes(path, bytes);
}

Capture LoadCapture(const std::wstring& path) {
  const std::string bytes = ReadWholeFile(path);
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  if (bytes.size() < sizeof(file) + sizeof(info)) Fail(Quote(path) + L" is no picture");
  std::memcpy(&file, bytes.data(), sizeof(file));
  std::memcpy(&info, bytes.data() + sizeof(file), sizeof(info));
  Capture capture{info.biWidth, -info.biHeight, {}};
  const std::size_t count = static_cast<std::size_t>(capture.width) * capture.height;
  if (file.bfType != 0x4D42 || info.biBitCount != 32 || capture.height <= 0 ||
      bytes.size() < file.bfOffBits + count * sizeof(DWORD)) {
    Fail(Quote(path) + L" is not a picture this driver saved");
  }
  capture.pixels.resize(count);
  std::memcpy(capture.pixels.data(), bytes.data() + file.bfOffBits, count * sizeof(DWORD));
  return capture;
}

// The pixels that differ (-1: another size), and the first of them.
int Differences(const Capture& saved, const Capture& now, POINT& first) {
  if (saved.width != now.width || saved.height != now.height) return -1;
  int count = 0;
  for (std::size_t at = 0; at < now.pixels.size(); ++at) {
    if (saved.pixels[at] == now.pixels[at] || count++ != 0) continue;
    first = {static_cast<LONG>(at % now.width), static_cast<LONG>(at / now.width)};
  }
  return count;
}

// "layout save <file>": the layout to the file, the client area's pixels to <file>.bmp.
void SaveLayout(Driver& d, const Step& step) {
  const std::wstring& path = step.args[0].text;
  HWND window = AskHook(d, 0);
  const Layout layout = LayoutOf(window);
  std::wstring text;
  for (const std::wstring& line : layout) text += line + L"\n";
  WriteBytes(path, velmor::Utf8FromWide(text));
  // Saved once what the window shows holds still: the hook has had it painted, and the system
  // shows it when the program next waits for messages, which it does before it answers this.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, d.timeoutMs, &ignored);
  Capture last = CaptureClient(window);
  int still = 0;
  d.WaitFor(
      [&] {
        Capture now = CaptureClient(window);
        still = now == last ? still + 1 : 0;
        last = std::move(now);
        return still == 2;
      },
      L"the window to be painted");
  SaveCapture(last, path + L".bmp");
  for (const std::wstring& line : layout) Out(L"    " + line + L"\n");
}

// "layout same <file>": on a difference, the client area's pixels are written to <file>-now.bmp.
void ExpectSameLayout(Driver& d, const Step& step) {
  const std::wstring& path = step.args[0].text;
  HWND window = AskHook(d, 0);
  const Layout layout = LayoutOf(window);
  const std::vector<std::wstring> savedLines = TextLines(ReadWholeFile(path));
  for (std::size_t i = 0; i < std::max(savedLines.size(), layout.size()); ++i) {
    const std::wstring want = i < savedLines.size() ? savedLines[i] : L"(nothing)";
    const std::wstring have = i < layout.size() ? layout[i] : L"(nothing)";
    if (want != have) Fail(L"the window has " + have + L"; saved: " + want);
  }
  const Capture want = LoadCapture(path + L".bmp");
  Capture now;
  POINT first{};
  int differ = 0;
  if (!d.Poll(d.timeoutMs, [&] {
        now = CaptureClient(window);
        return (differ = Differences(want, now, first)) == 0;
      })) {
    SaveCapture(now, path + L"-now.bmp");
    if (differ < 0) Fail(L"the client area is not the saved one's size");
    Fail(std::to_wstring(differ) + L" pixels differ from the saved window's, the first at (" +
         std::to_wstring(first.x) + L", " + std::to_wstring(first.y) +
         L"); what the window shows is in " + Quote(path + L"-now.bmp"));
  }
  Out(L"    " + layout[0] + L", " + layout[1] + L", " + std::to_wstring(layout.size() - 2) +
      L" controls and every pixel as saved\n");
}

int GdiObjectsOfProgram(HWND window) {
  return static_cast<int>(reinterpret_cast<ULONG_PTR>(GetPropW(window, kGdiProperty))) - 1;
}

void ChangeDpi(Driver& d, const Step& step) {
  const int dpi = static_cast<int>(step.args[0].value);
  const RECT client = ClientRectOf(AskHook(d, dpi));
  Out(L"    at " + std::to_wstring(dpi) + L" DPI: client area " + SizeText(client) + L"\n");
}

// "gdi-flat <changes> <dpi> ...": the window moved that many times, through the DPIs in turn.
void ExpectGdiFlat(Driver& d, const Step& step) {
  const long changes = step.args[0].value;
  int first = 0;
  int last = 0;
  for (long i = 0; i < changes; ++i) {
    const int dpi =
        static_cast<int>(step.args[1 + static_cast<size_t>(i) % (step.args.size() - 1)].value);
    last = GdiObjectsOfProgram(AskHook(d, dpi));
    if (i == 0) first = last;
  }
  Out(L"    GDI objects: " + std::to_wstring(first) + L" after the first change, " +
      std::to_wstring(last) + L" after change " + std::to_wstring(changes) + L"\n");
  if (last != first) {
    Fail(L"the program holds " + std::to_wstring(last - first) + L" GDI objects more after " +
         std::to_wstring(changes) + L" changes than after the first");
  }
}

long ReadDpi(const std::wstring& text) {
  const long dpi = ReadArgs(L"a DPI", L"<dpi:n>", text, {})[0].value;
  if (dpi < 48 || dpi > 960) Fail(L"expected a DPI from 48 to 960, not " + text);
  return dpi;
}

void ExpectTwipsRect(Driver& d, const Step& step) {
  HWND window = d.RequireWindow();
  RECT have = ClientRectOf(window);
  if (step.args[0].text != L"client") {
    GetWindowRect(d.WaitControl(step.args[0].text), &have);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&have), 2);
  }
  const auto& a = step.args;
  const RECT want{TwipsToPx(a[1].value), TwipsToPx(a[2].value), TwipsToPx(a[1].value + a[3].value),
                  TwipsToPx(a[2].value + a[4].value)};
  Out(L"    " + std::to_wstring(ScreenDpi()) + L" dpi: " + PlaceText(have) + L", expected " +
      PlaceText(want) + L"\n");
  if (std::abs(have.left - want.left) > 1 || std::abs(have.top - want.top) > 1 ||
      std::abs(have.right - want.right) > 1 || std::abs(have.bottom - want.bottom) > 1) {
    Fail(Quote(step.args[0].text) + L" is at " + PlaceText(have) + L", more than 1 px from " +
         PlaceText(want));
  }
}

void ExpectZOrder(Driver& d, const Step& step) {
  std::vector<HWND> listed;
  for (const Arg& ref : step.args) listed.push_back(d.WaitControl(ref.text));
  std::vector<HWND> stacked;
  for (HWND child = GetWindow(d.RequireWindow(), GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (std::find(listed.begin(), listed.end(), child) != listed.end()) stacked.push_back(child);
  }
  if (stacked != listed) {
    std::wstring order;
    for (HWND child : stacked) {
      const std::wstring text = WindowText(child);
      order +=
          (order.empty() ? L"" : L" | ") + (text.empty() ? L"class:" + ClassName(child) : text);
    }
    Fail(L"the controls lie, top first: " + order);
  }
}

void ExpectCaptionLines(Driver& d, const Step& step) {
  const auto& a = step.args;
  RECT box{TwipsToPx(a[0].value), TwipsToPx(a[1].value), TwipsToPx(a[0].value + a[2].value),
           TwipsToPx(a[1].value + a[3].value)};
  MapWindowPoints(d.RequireWindow(), nullptr, reinterpret_cast<POINT*>(&box), 2);
  const int want = static_cast<int>(step.args[4].value);
  CaptionLines measured;
  // The window may still be painting: measure again until the caption is there or time is up.
  const bool whole = d.Poll(d.timeoutMs, [&] {
    measured = MeasureCaptionLines(box);
    return measured.lines == want && !measured.edge;
  });
  Out(L"    " + std::to_wstring(ScreenDpi()) + L" dpi: " + std::to_wstring(measured.lines) +
      L" line(s) in " + SizeText(box) + L" px" + (measured.edge ? L", touching the edge" : L"") +
      L"\n");
  if (!whole) {
    Fail(L"the caption stands on " + std::to_wstring(measured.lines) + L" line(s)" +
         (measured.edge ? L" and reaches the box's edge (cut off)" : L"") + L"; expected " +
         std::to_wstring(want) + L" whole line(s)");
  }
}

// "picture": from the control's top-left corner and clipped to the control, or wholly inside it.
void ExpectPicture(Driver& d, const Step& step) {
  const DecodedPicture picture = DecodePicture(step.args[1].text);
  RECT box{};
  GetWindowRect(d.WaitControl(step.args[0].text), &box);
  const bool atCorner = step.args[2].text == L"corner";
  const std::wstring size =
      std::to_wstring(picture.width) + L" x " + std::to_wstring(picture.height);
  POINT found{-1, -1};
  const auto drawn = [&] {
    const std::optional<POINT> at = FindPicture(picture, box, atCorner);
    if (at) found = *at;
    return at.has_value();
  };
  // The window may still be painting: look again until the picture is there or time is up.
  if (!d.Poll(d.timeoutMs, drawn)) {
    Fail(L"the " + size + L" picture is not drawn unscaled " +
         (atCorner ? L"at the control's corner" : L"inside the control"));
  }
  Out(L"    " + size + L" px, unscaled at (" + std::to_wstring(found.x) + L", " +
      std::to_wstring(found.y) + L") in the control\n");
}

void ExpectFocus(Driver& d, const Step& step) {
  const std::wstring& ref = step.args[0].text;
  HWND control = d.WaitControl(ref);
  HWND focus = nullptr;
  if (!d.Poll(d.timeoutMs, [&] { return (focus = FocusOf(control)) == control; })) {
    Fail(L"the focus is on " +
         (focus == nullptr ? std::wstring(L"no window")
                           : ClassName(focus) + L" " + Quote(WindowText(focus))) +
         L", not on " + Quote(ref));
  }
}

// "screenshot <name>.png", in the scenario's artifacts folder.
void Screenshot(Driver& d, const Step& step) {
  HWND hwnd = d.RequireWindow();
  // Let the program finish painting; a program busy in a handler is captured as it is.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &ignored);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  RECT r{};
  if (!GetWindowRect(hwnd, &r)) Fail(L"cannot read the window's position");
  SaveScreenPicture(r, JoinPath(d.artifacts, step.args[0].text));
}

constexpr Verb kVerbs[] = {
    {L"client-size", L"<width:n> <height:n>",
     [](Driver& d, const Step& s) {
       const RECT r = ClientRectOf(d.RequireWindow());
       if (r.right != s.args[0].value || r.bottom != s.args[1].value) {
         Fail(L"the client area is " + SizeText(r) + L", expected " + s.rest);
       }
     }},
    {L"focus", L"<control>", ExpectFocus},
    {L"z-order", L"<control>...", ExpectZOrder},
    {L"twips-rect", L"<control> <left:n> <top:n> <width:n> <height:n>", ExpectTwipsRect},
    {L"caption-lines", L"<left:n> <top:n> <width:n> <height:n> <lines:n>", ExpectCaptionLines},
    {L"picture", L"<control> | <file> | corner/inside", ExpectPicture},
    {L"screenshot", L"<file>", Screenshot},
    {L"dpi-change", L"<dpi:dpi>", ChangeDpi},
    {L"layout save", L"<file>", SaveLayout},
    {L"layout same", L"<file>", ExpectSameLayout},
    {L"gdi-flat", L"<changes:n> <dpi:dpi>...", ExpectGdiFlat},
};

constexpr Kind kKinds[] = {{L"dpi", ReadDpi}};

}  // namespace

Family LayoutSteps() { return {kVerbs, kKinds}; }

}  // namespace e2e
