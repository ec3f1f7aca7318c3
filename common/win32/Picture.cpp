#include "Picture.h"

#include <cstring>

#include "Handles.h"
#include "SystemLibrary.h"

namespace velmor::win32 {

using Microsoft::WRL::ComPtr;

IPicture* Picture::Decoded() const {
  if (decoded_ || resourceId_ == 0) return picture_.Get();
  decoded_ = true;
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info =
      FindResourceW(module, MAKEINTRESOURCEW(resourceId_), MAKEINTRESOURCEW(10));  // RCDATA
  if (info == nullptr) return nullptr;
  HGLOBAL loaded = LoadResource(module, info);  // resources need no freeing
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(module, info);
  if (bytes == nullptr || size == 0) return nullptr;
  // A stream over a copy in global memory, which ole32 provides (COM needs it for decoding in any
  // case); a stream from shlwapi would cost the program one more DLL. Once the stream exists, it
  // owns the memory and frees it on its last release.
  UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!memory) return nullptr;
  void* copy = GlobalLock(memory.get());
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, bytes, size);
  GlobalUnlock(memory.get());
  // The new stream's one reference goes straight into the ComPtr through &stream. Taking it over
  // with ComPtr::Attach would be wrong here: MinGW-w64's Attach, unlike the Windows SDK's, adds a
  // reference of its own, and the stream would never be freed.
  ComPtr<IStream> stream;
  if (FAILED(ole::CreateStreamOnHGlobal(memory.get(), TRUE, &stream))) return nullptr;
  memory.release();
  {
    const WindowDC screen(nullptr);
    decodedAtDpi_ = GetDeviceCaps(screen.get(), LOGPIXELSY);
  }
  ole::OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_PPV_ARGS(&picture_));
  return picture_.Get();
}

SIZE Picture::PixelSize() const {
  SIZE size{0, 0};
  IPicture* picture = Decoded();
  if (picture == nullptr) return size;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture->get_Width(&width);
  picture->get_Height(&height);
  // HIMETRIC is 1/100 mm: 2540 to the inch.
  size.cx = MulDiv(width, decodedAtDpi_, 2540);
  size.cy = MulDiv(height, decodedAtDpi_, 2540);
  return size;
}

void Picture::Draw(HDC dc, int x, int y, int cx, int cy) const {
  IPicture* picture = Decoded();
  if (picture == nullptr) return;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture->get_Width(&width);
  picture->get_Height(&height);
  // The source rectangle runs bottom-up in HIMETRIC.
  picture->Render(dc, x, y, cx, cy, 0, height, width, -height, nullptr);
}

}  // namespace velmor::win32
