// Entry point of Velmor_Setup.exe: prepares the process, runs Main and then the window's message
// loop.

#include <windows.h>

#include "ErrorText.h"
#include "EventDispatch.h"
#include "FormWindow.h"
#include "Handles.h"
#include "Module1.h"
#include "Win32Platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // A setup program is often started from a download folder, where a planted DLL could stand in for
  // a system one: load DLLs from the system folder only.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

  velmor::win32::FormWindow* window = nullptr;
  velmor::win32::Win32Platform platform(
      L"Velmor_Setup", [&window] { return window != nullptr ? window->Handle() : nullptr; });

  const velmor::win32::ComApartment com;
  if (FAILED(com.Result())) {
    platform.MsgBox(
        velmor::FormatReport(velmor::win32::ComError(com.Result(), L"COM の初期化", L"")),
        velmor::MsgBoxStyle::kOkOnly, std::nullopt);
    return velmor::kExitRuntimeError;
  }

  velmor::win32::FormWindow formWindow(instance, platform);
  window = &formWindow;
  setup::Module1 module(platform);
  module.Form1().Window().AttachHost(&formWindow);

  if (!velmor::RunEventHandler(platform, [&module] { module.Main(); })) {
    return velmor::kExitRuntimeError;
  }
  if (!module.Form1().Window().IsLoaded()) return module.ExitCode();
  return formWindow.RunMessageLoop();
}
