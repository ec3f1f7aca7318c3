// The layout steps. Wine cannot move a window to a monitor of another DPI, and a WM_DPICHANGED sent
// from another process carries no rectangle, so the driver moves the window as Windows would from
// inside the program's own thread, through the test bed's hook (TestBedHook.h).
//
//   dpi-change <dpi>
//       The window reaches a monitor of that DPI: it is asked for its size there, told of the DPI
//       with the rectangle suggested from that size where it is, and painted. The step waits until
//       all of that has been done.
//   layout save <file>
//       Writes what the window shows: its client area, the sizes of its icons, and each control's
//       class, caption, box in client pixels and font, to the file; the pixels of its client area
//       to <file>.bmp.
//   layout same <file>
//       The window shows what the saved one did: the same client area, icons, controls, boxes and
//       fonts, and the same client area pixel for pixel, the marks of the check boxes and option
//       buttons included. On a difference, what the window shows is written to <file>-now.bmp.
//   gdi-flat <changes> <dpi> <dpi> ...
//       Moves the window that many times, through the DPIs in turn; the program holds as many GDI
//       objects after the last change as after the first.

#include "LayoutSteps.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Console.h"
#include "DescribeError.h"
#include "Handles.h"
#include "Pixels.h"
#include "Steps.h"
#include "TestBed.h"
#include "TestBedHook.h"
#include "Utf8.h"
#include "WindowQueries.h"

namespace e2e {
namespace {

using velmor::win32::UniqueHandle;

// The hook of the program's thread, set once per thread and kept until the driver ends (the
// system removes it with the driver's process).
void HookThreadOf(HWND window) {
  static HMODULE library = nullptr;
  static std::map<DWORD, HHOOK> hooked;
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (thread == 0) Fail(L"the window no longer exists");
  if (hooked.count(thread) != 0) return;
  if (library == nullptr) {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    path = path.substr(0, path.find_last_of(L'\\') + 1) + kHookDll;
    library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) {
      Fail(L"cannot load " + Quote(path) + L": " + velmor::win32::DescribeError(GetLastError()));
    }
  }
  const auto procedure =
      reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(GetProcAddress(library, kHookProc)));
  HHOOK hook =
      procedure != nullptr ? SetWindowsHookExW(WH_GETMESSAGE, procedure, library, thread) : nullptr;
  if (hook == nullptr) {
    Fail(L"cannot hook the program's thread: " + velmor::win32::DescribeError(GetLastError()));
  }
  hooked.emplace(thread, hook);
}

// Has the hook move the window to dpi (0: not move it) and describe it; waits until it has.
void AskHook(const LayoutHost& host, int dpi) {
  static ULONG_PTR asked = 0;
  HookThreadOf(host.window);
  const UINT message = RegisterWindowMessageW(kTestBedMessage);
  const ULONG_PTR number = ++asked;
  if (!PostMessageW(host.window, message, static_cast<WPARAM>(dpi), static_cast<LPARAM>(number))) {
    Fail(L"cannot post to the window: " + velmor::win32::DescribeError(GetLastError()));
  }
  host.waitFor(
      [&] { return reinterpret_cast<ULONG_PTR>(GetPropW(host.window, kDoneProperty)) == number; },
      dpi != 0 ? L"the window to be moved to " + std::to_wstring(dpi) + L" DPI"
               : std::wstring(L"the window to be described"));
}

std::wstring FontText(HWND control) {
  const FontFields font = UnpackFont(reinterpret_cast<ULONG_PTR>(GetPropW(control, kFontProperty)));
  if (font.face == 0) return L"none";
  wchar_t face[LF_FACESIZE] = {};
  GlobalGetAtomNameW(font.face, face, LF_FACESIZE);
  return std::to_wstring(font.height) + L" " + std::to_wstring(font.weight) + L" " +
         std::to_wstring(font.charset) + L" " + face;
}

// The client area and the icons, then each control, top of the stack first.
using Layout = std::vector<std::wstring>;

std::wstring RectText(const RECT& r) {
  return std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right) +
         L" " + std::to_wstring(r.bottom);
}

// The window as the hook has just described it.
Layout LayoutOf(HWND window) {
  Layout layout;
  RECT client{};
  GetClientRect(window, &client);
  layout.push_back(L"client " + std::to_wstring(client.right) + L" x " +
                   std::to_wstring(client.bottom));
  const auto icons = reinterpret_cast<ULONG_PTR>(GetPropW(window, kIconsProperty));
  std::wstring sizes = L"icons";
  for (int shift = 0; shift < 64; shift += 16) {
    sizes += (shift % 32 == 0 ? L" " : L" x ") + std::to_wstring((icons >> shift) & 0xFFFF);
  }
  layout.push_back(sizes);
  for (HWND child : ChildWindows(window)) {
    if (GetParent(child) != window) continue;
    RECT box{};
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    layout.push_back(L"control " + ClassName(child) + L" " + Quote(WindowText(child)) + L" at " +
                     RectText(box) + L" font " + FontText(child));
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
  RECT client{};
  GetClientRect(window, &client);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  return {client.right - client.left, client.bottom - client.top, CaptureScreen(client)};
}

// Every byte of a file the driver wrote; fails the step when it cannot be read.
std::string ReadSaved(const std::wstring& path) {
  std::wstring error;
  std::optional<std::string> bytes = ReadFileBytes(path, error);
  if (!bytes) Fail(L"cannot open " + Quote(path) + L": " + error);
  return std::move(*bytes);
}

// A 32-bit top-down BMP file, which picture viewers show.
void SaveCapture(const Capture& capture, const std::wstring& path) {
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  const DWORD imageSize = static_cast<DWORD>(capture.pixels.size() * sizeof(DWORD));
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + imageSize;
  info.biSize = sizeof(info);
  info.biWidth = capture.width;
  info.biHeight = -capture.height;
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  info.biSizeImage = imageSize;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
  bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
  bytes.append(reinterpret_cast<const char*>(capture.pixels.data()), imageSize);
  WriteBytes(path, bytes);
}

Capture LoadCapture(const std::wstring& path) {
  const std::string bytes = ReadSaved(path);
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

// The pixels that differ, and the first of them.
struct Difference {
  int pixels = 0;
  POINT first{-1, -1};
};

Difference Compare(const Capture& saved, const Capture& now) {
  Difference difference;
  if (saved.width != now.width || saved.height != now.height) {
    difference.pixels = -1;
    return difference;
  }
  for (int y = 0; y < now.height; ++y) {
    for (int x = 0; x < now.width; ++x) {
      const std::size_t at = static_cast<std::size_t>(y) * now.width + x;
      if (saved.pixels[at] != now.pixels[at] && difference.pixels++ == 0) difference.first = {x, y};
    }
  }
  return difference;
}

void SaveLayout(const std::wstring& path, const LayoutHost& host) {
  AskHook(host, 0);
  const Layout layout = LayoutOf(host.window);
  std::wstring text;
  for (const std::wstring& line : layout) text += line + L"\n";
  const std::string bytes = velmor::Utf8FromWide(text);
  WriteBytes(path, bytes);
  // Saved once what the window shows holds still: the hook has had it painted, and the system
  // shows it when the program next waits for messages, which it does before it answers this.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(host.window, WM_NULL, 0, 0, SMTO_NORMAL, host.timeoutMs, &ignored);
  Capture last = CaptureClient(host.window);
  int still = 0;
  host.waitFor(
      [&] {
        Capture now = CaptureClient(host.window);
        still = now == last ? still + 1 : 0;
        last = std::move(now);
        return still == 2;
      },
      L"the window to be painted");
  SaveCapture(last, path + L".bmp");
  for (const std::wstring& line : layout) Out(L"    " + line + L"\n");
}

void ExpectSameLayout(const std::wstring& path, const LayoutHost& host) {
  AskHook(host, 0);
  const Layout layout = LayoutOf(host.window);
  const std::wstring saved = velmor::WideFromUtf8(ReadSaved(path));
  std::vector<std::wstring> savedLines;
  for (std::size_t at = 0; at < saved.size();) {
    const std::size_t end = saved.find(L'\n', at);
    savedLines.push_back(saved.substr(at, end - at));
    at = end == std::wstring::npos ? saved.size() : end + 1;
  }
  for (std::size_t i = 0; i < std::max(savedLines.size(), layout.size()); ++i) {
    const std::wstring want = i < savedLines.size() ? savedLines[i] : L"(nothing)";
    const std::wstring have = i < layout.size() ? layout[i] : L"(nothing)";
    if (want != have) Fail(L"the window has " + have + L"; saved: " + want);
  }
  const Capture want = LoadCapture(path + L".bmp");
  Capture now;
  Difference difference;
  const bool same = host.poll(host.timeoutMs, [&] {
    now = CaptureClient(host.window);
    difference = Compare(want, now);
    return difference.pixels == 0;
  });
  if (!same) {
    SaveCapture(now, path + L"-now.bmp");
    if (difference.pixels < 0) Fail(L"the client area is not the saved one's size");
    Fail(std::to_wstring(difference.pixels) +
         L" pixels differ from the saved window's, the first at (" +
         std::to_wstring(difference.first.x) + L", " + std::to_wstring(difference.first.y) +
         L"); what the window shows is in " + Quote(path + L"-now.bmp"));
  }
  Out(L"    " + layout[0] + L", " + layout[1] + L", " + std::to_wstring(layout.size() - 2) +
      L" controls and every pixel as saved\n");
}

int NumberOf(const std::wstring& word, const wchar_t* what) {
  return static_cast<int>(RequireNumber(word, what));
}

std::vector<std::wstring> Words(const std::wstring& rest) {
  std::vector<std::wstring> words;
  for (std::size_t at = rest.find_first_not_of(L" \t"); at != std::wstring::npos;) {
    const std::size_t end = rest.find_first_of(L" \t", at);
    words.push_back(rest.substr(at, end == std::wstring::npos ? end : end - at));
    at = end == std::wstring::npos ? end : rest.find_first_not_of(L" \t", end);
  }
  return words;
}

int GdiObjectsOfProgram(HWND window) {
  return static_cast<int>(reinterpret_cast<ULONG_PTR>(GetPropW(window, kGdiProperty))) - 1;
}

}  // namespace

void RunDpiChangeStep(const std::wstring& rest, const LayoutHost& host) {
  const int dpi = NumberOf(Trim(rest), L"<dpi>");
  if (dpi < 48 || dpi > 960) Fail(L"expected a DPI from 48 to 960");
  AskHook(host, dpi);
  RECT client{};
  GetClientRect(host.window, &client);
  Out(L"    at " + std::to_wstring(dpi) + L" DPI: client area " + std::to_wstring(client.right) +
      L" x " + std::to_wstring(client.bottom) + L"\n");
}

void RunLayoutStep(const std::wstring& rest, const LayoutHost& host) {
  const std::vector<std::wstring> words = Words(rest);
  if (words.size() < 2 || (words[0] != L"save" && words[0] != L"same")) {
    Fail(L"expected layout save|same <file>");
  }
  const std::wstring path = Trim(rest.substr(rest.find(words[0]) + words[0].size()));
  if (words[0] == L"save") {
    SaveLayout(path, host);
  } else {
    ExpectSameLayout(path, host);
  }
}

void RunGdiFlatStep(const std::wstring& rest, const LayoutHost& host) {
  const std::vector<std::wstring> words = Words(rest);
  if (words.size() < 2) Fail(L"expected gdi-flat <changes> <dpi> ...");
  const int changes = NumberOf(words[0], L"<changes>");
  std::vector<int> dpis;
  for (std::size_t i = 1; i < words.size(); ++i) dpis.push_back(NumberOf(words[i], L"<dpi>"));
  int first = 0;
  int last = 0;
  for (int i = 0; i < changes; ++i) {
    AskHook(host, dpis[static_cast<std::size_t>(i) % dpis.size()]);
    last = GdiObjectsOfProgram(host.window);
    if (i == 0) first = last;
  }
  Out(L"    GDI objects: " + std::to_wstring(first) + L" after the first change, " +
      std::to_wstring(last) + L" after change " + std::to_wstring(changes) + L"\n");
  if (last != first) {
    Fail(L"the program holds " + std::to_wstring(last - first) + L" GDI objects more after " +
         std::to_wstring(changes) + L" changes than after the first");
  }
}

}  // namespace e2e
