#pragma once

// The steps that move the program's window to another DPI, as Windows does when it reaches a
// monitor of that DPI, and that compare its layout with the one it has when it starts at a DPI.
// See LayoutSteps.cpp for the steps.

#include <windows.h>

#include <functional>
#include <string>

namespace e2e {

// What a layout step needs of the driver.
struct LayoutHost {
  HWND window = nullptr;  // the program's window, found by the last window step
  unsigned long timeoutMs = 0;
  // Polls until done() holds, failing the step at the timeout, on an unexpected message box and
  // when the program ends.
  std::function<void(const std::function<bool()>& done, const std::wstring& what)> waitFor;
  // Polls until done() holds or ms have passed; false when the time is up.
  std::function<bool(unsigned long ms, const std::function<bool()>& done)> poll;
};

// "dpi-change <dpi>", "layout save|same <file>", "gdi-flat <changes> <dpi> ...".
void RunDpiChangeStep(const std::wstring& rest, const LayoutHost& host);
void RunLayoutStep(const std::wstring& rest, const LayoutHost& host);
void RunGdiFlatStep(const std::wstring& rest, const LayoutHost& host);

}  // namespace e2e
