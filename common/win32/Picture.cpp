#include "Picture.h"

#include <shlwapi.h>

namespace velmor::win32 {

using Microsoft::WRL::ComPtr;

Picture::Picture(int resourceId) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(10));  // RCDATA
  if (info == nullptr) return;
  HGLOBAL loaded = LoadResource(module, info);  // resources need no freeing
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(module, info);
  if (bytes == nullptr || size == 0) return;
  // SHCreateMemStream hands over a stream holding one reference, ours to release. It is written
  // straight into the ComPtr because MinGW-w64's ComPtr::Attach, unlike the Windows SDK's, adds a
  // reference of its own: the stream would never be freed.
  ComPtr<IStream> stream;
  *stream.GetAddressOf() = SHCreateMemStream(static_cast<const BYTE*>(bytes), size);
  if (!stream) return;
  OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_PPV_ARGS(&picture_));
}

SIZE Picture::PixelSize(int dpi) const {
  SIZE size{0, 0};
  if (!picture_) return size;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture_->get_Width(&width);
  picture_->get_Height(&height);
  // HIMETRIC is 1/100 mm: 2540 to the inch.
  size.cx = MulDiv(width, dpi, 2540);
  size.cy = MulDiv(height, dpi, 2540);
  return size;
}

void Picture::Draw(HDC dc, int x, int y, int cx, int cy) const {
  if (!picture_) return;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture_->get_Width(&width);
  picture_->get_Height(&height);
  // The source rectangle runs bottom-up in HIMETRIC.
  picture_->Render(dc, x, y, cx, cy, 0, height, width, -height, nullptr);
}

}  // namespace velmor::win32
