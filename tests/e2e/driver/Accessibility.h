#pragma once

// The "reader" steps: the program's window read and used from this process as a screen reader
// does, through MSAA (AccessibleObjectFromWindow on the window, and on the focused control's
// window). See Accessibility.cpp for the steps.

#include <windows.h>

#include <functional>
#include <string>

namespace e2e {

// What a reader step needs of the driver.
struct ReaderHost {
  HWND window = nullptr;  // the program's window, found by the last window step
  unsigned long timeoutMs = 0;
  // Polls until done() holds, failing the step at the timeout, on an unexpected message box and
  // when the program ends.
  std::function<void(const std::function<bool()>& done, const std::wstring& what)> waitFor;
};

void RunReaderStep(const std::wstring& rest, const ReaderHost& host);

// Waits, within the step timeout, until the window's object no longer says that it is unavailable:
// the step the program was running has ended, and what is typed from now on is read.
void WaitUntilAvailable(const ReaderHost& host);

}  // namespace e2e
