#pragma once

// One copy of a program per user session. Double-clicking an installer twice (a slow CD, an
// impatient user) would otherwise start two copies that run the same installers and Excel macros
// side by side. A second copy brings the first copy's window forward and ends without a window of
// its own.

#include <windows.h>

#include <functional>
#include <string>

#include "Handles.h"

namespace velmor::win32 {

class SingleCopy {
 public:
  // title: the program's title, which names the session-wide mutex ("Local\...") and the property
  // that marks the program's window.
  explicit SingleCopy(const std::wstring& title);
  SingleCopy(const SingleCopy&) = delete;
  SingleCopy& operator=(const SingleCopy&) = delete;
  ~SingleCopy();

  // True when this is the only copy: it runs as usual. Otherwise brings the first copy's window (or
  // the message box it shows) to the front and answers false; the caller then ends. Should the
  // first copy end meanwhile, this one becomes the only copy after all. Waits at most a few seconds
  // for a first copy that has not shown its window yet. beforeBringingForward, when given, is
  // called with the caption of the first copy's window once it is found, before it comes forward.
  [[nodiscard]] bool Claim(
      const std::function<void(const std::wstring& runningCaption)>& beforeBringingForward = {});

  // Marks the program's window so that a later copy can find it.
  void MarkWindow(HWND window) const;

 private:
  std::wstring property_;
  UniqueHandle mutex_;
  bool owned_ = false;
};

}  // namespace velmor::win32
