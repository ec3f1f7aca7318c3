#include "Driver.h"

#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "ComOwners.h"

namespace e2e {
namespace {

using Microsoft::WRL::ComPtr;
using velmor::win32::ComApartment;
using velmor::win32::SelectedObject;
using velmor::win32::UniqueBitmap;
using velmor::win32::UniqueHandle;
using velmor::win32::UniqueMemoryDC;
using velmor::win32::WindowDC;

int ColourDistance(DWORD a, DWORD b) {
  int most = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    most = std::max(most, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                   static_cast<int>((b >> shift) & 0xFF)));
  }
  return most;
}

}  // namespace

BITMAPINFO TopDownBitmap(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  return info;
}

void SaveScreenPicture(const RECT& rect, const std::wstring& path) {
  const RECT screen = ScreenRect();
  RECT r{};
  if (!IntersectRect(&r, &rect, &screen)) Fail(L"the window is not on the screen");
  const UINT width = static_cast<UINT>(r.right - r.left);
  const UINT height = static_cast<UINT>(r.bottom - r.top);
  // 0x00RRGGBB in memory is blue, green, red and an unused byte: WIC's 32bppBGR.
  std::vector<DWORD> pixels = CaptureScreen(r);

  const ComApartment com;
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IWICBitmap> bitmap;
  const auto check = [&](HRESULT hr, const wchar_t* what) {
    if (FAILED(hr)) FailWith(L"cannot save " + Quote(path) + L" (" + what + L")", hr);
  };
  check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                         __uuidof(IWICImagingFactory), &factory),
        L"imaging factory");
  check(factory->CreateBitmapFromMemory(width, height, GUID_WICPixelFormat32bppBGR, width * 4,
                                        width * height * 4, reinterpret_cast<BYTE*>(pixels.data()),
                                        &bitmap),
        L"bitmap");
  check(factory->CreateStream(&stream), L"stream");
  check(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE), L"file");
  check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder), L"PNG encoder");
  check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), L"encoder");
  check(encoder->CreateNewFrame(&frame, nullptr), L"frame");
  check(frame->Initialize(nullptr), L"frame");
  check(frame->SetSize(width, height), L"size");
  // The encoder converts the pixels to a format of its own.
  check(frame->WriteSource(bitmap.Get(), nullptr), L"pixels");
  check(frame->Commit(), L"frame");
  check(encoder->Commit(), L"file");
}

RECT ScreenRect() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

std::wstring SizeText(const RECT& r) {
  return std::to_wstring(r.right - r.left) + L" x " + std::to_wstring(r.bottom - r.top);
}

std::wstring PlaceText(const RECT& r) {
  return L"(" + std::to_wstring(r.left) + L", " + std::to_wstring(r.top) + L") " + SizeText(r);
}

int ScreenDpi() {
  const WindowDC screen(nullptr);
  return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

int TwipsToPx(long twips) { return MulDiv(static_cast<int>(twips), ScreenDpi(), 1440); }

std::vector<DWORD> CaptureScreen(const RECT& r) {
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) Fail(L"an empty rectangle");
  const WindowDC screen(nullptr);
  const UniqueMemoryDC memory(CreateCompatibleDC(screen.get()));
  const UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
  if (!memory.get() || !bitmap.get()) Fail(L"cannot create a bitmap");
  {
    const SelectedObject selected(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY | CAPTUREBLT);
  }
  BITMAPINFO info = TopDownBitmap(width, height);
  std::vector<DWORD> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(), &info,
                DIB_RGB_COLORS) != height) {
    Fail(L"cannot read the captured pixels");
  }
  for (DWORD& pixel : pixels) pixel &= 0x00FFFFFF;
  return pixels;
}

DecodedPicture DecodePicture(const std::wstring& path) {
  const std::string bytes = ReadWholeFile(path);

  const ComApartment com;
  Microsoft::WRL::ComPtr<IStream> stream;
  *stream.GetAddressOf() = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                                             static_cast<UINT>(bytes.size()));
  Microsoft::WRL::ComPtr<IPicture> picture;
  if (!stream || FAILED(OleLoadPicture(stream.Get(), static_cast<LONG>(bytes.size()), FALSE,
                                       IID_PPV_ARGS(&picture)))) {
    Fail(L"cannot decode " + Quote(path));
  }
  OLE_XSIZE_HIMETRIC himetricWidth = 0;
  OLE_YSIZE_HIMETRIC himetricHeight = 0;
  picture->get_Width(&himetricWidth);
  picture->get_Height(&himetricHeight);
  DecodedPicture decoded;
  decoded.width = MulDiv(himetricWidth, ScreenDpi(), 2540);
  decoded.height = MulDiv(himetricHeight, ScreenDpi(), 2540);

  const WindowDC screen(nullptr);
  for (const DWORD background : {DWORD{0xFFFFFF}, DWORD{0}}) {
    const UniqueMemoryDC memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info = TopDownBitmap(decoded.width, decoded.height);
    void* bits = nullptr;
    const UniqueBitmap bitmap(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory.get() || !bitmap.get()) Fail(L"cannot create a bitmap");
    std::vector<DWORD>& out = background != 0 ? decoded.onWhite : decoded.onBlack;
    {
      const SelectedObject selected(memory.get(), bitmap.get());
      RECT all{0, 0, decoded.width, decoded.height};
      const velmor::win32::UniqueBrush brush(CreateSolidBrush(background));
      FillRect(memory.get(), &all, brush.get());
      picture->Render(memory.get(), 0, 0, decoded.width, decoded.height, 0, himetricHeight,
                      himetricWidth, -himetricHeight, nullptr);
      GdiFlush();
      const auto* pixels = static_cast<const DWORD*>(bits);
      out.assign(pixels, pixels + static_cast<size_t>(decoded.width) * decoded.height);
    }
    for (DWORD& pixel : out) pixel &= 0x00FFFFFF;
  }
  return decoded;
}

CaptionLines MeasureCaptionLines(const RECT& box) {
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  const std::vector<DWORD> pixels = CaptureScreen(box);
  std::map<DWORD, int> counts;
  for (DWORD pixel : pixels) ++counts[pixel];
  const DWORD background =
      std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
        return a.second < b.second;
      })->first;
  // Faint text counts too: a label in the 3-D highlight colour on button face differs little.
  constexpr int kInk = 8;
  CaptionLines measured;
  bool inLine = false;
  for (int y = 0; y < height; ++y) {
    bool ink = false;
    for (int x = 0; x < width; ++x) {
      if (ColourDistance(pixels[static_cast<size_t>(y) * width + x], background) > kInk) {
        ink = true;
        if (x == width - 1 || y == height - 1) measured.edge = true;
      }
    }
    if (ink && !inLine) ++measured.lines;
    inLine = ink;
  }
  return measured;
}

std::optional<POINT> FindPicture(const DecodedPicture& picture, const RECT& box, bool atCorner) {
  const int boxWidth = box.right - box.left;
  const int boxHeight = box.bottom - box.top;
  const std::vector<DWORD> screen = CaptureScreen(box);
  const auto matchesAt = [&](int left, int top) {
    for (int y = 0; y < picture.height && top + y < boxHeight; ++y) {
      for (int x = 0; x < picture.width && left + x < boxWidth; ++x) {
        const size_t at = static_cast<size_t>(y) * picture.width + x;
        if (picture.onWhite[at] != picture.onBlack[at]) continue;  // transparent
        if (screen[static_cast<size_t>(top + y) * boxWidth + left + x] != picture.onWhite[at]) {
          return false;
        }
      }
    }
    return true;
  };
  if (atCorner) {
    if (matchesAt(0, 0)) return POINT{0, 0};
    return std::nullopt;
  }
  for (int top = 0; top + picture.height <= boxHeight; ++top) {
    for (int left = 0; left + picture.width <= boxWidth; ++left) {
      if (matchesAt(left, top)) return POINT{left, top};
    }
  }
  return std::nullopt;
}

}  // namespace e2e
