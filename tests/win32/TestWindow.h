#pragma once

// What the window tests share: a form shown in a real window of this process, with the platform
// and the step state the programs give it, and the quit request its window leaves behind.

#include <windows.h>

#include "ComOwners.h"
#include "FormModel.h"
#include "FormWindow.h"
#include "StepWindow.h"
#include "Win32Platform.h"

// WM_DESTROY asks the message loop to end; these tests run none, so the request is taken back.
inline void DropQuitRequest() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

// A form shown in its window for as long as the object lives; contrast, whether a contrast theme
// is on, as the window asks it.
class TestWindow {
 public:
  explicit TestWindow(
      const velmor::FormSpec& spec,
      velmor::win32::FormPainter::ContrastSetting contrast = &velmor::win32::ContrastThemeOn)
      : window_(GetModuleHandleW(nullptr), platform_, steps_, com_, contrast), form_(spec) {
    form_.AttachHost(&window_);
    form_.Show();
  }
  ~TestWindow() {
    form_.Unload();
    form_.AttachHost(nullptr);
    DropQuitRequest();
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  velmor::Form& Form() { return form_; }
  const velmor::FormSpec& Spec() const { return form_.Spec(); }
  velmor::win32::FormWindow& Window() { return window_; }
  const velmor::win32::ControlWindows& Controls() const { return window_.Controls(); }
  HWND Handle() const { return window_.Handle(); }

 private:
  velmor::win32::ComApartment com_;
  velmor::win32::StepWindow steps_;
  velmor::win32::Win32Platform platform_{L"win32_tests", steps_, com_};
  velmor::win32::FormWindow window_;
  velmor::Form form_;
};
