#pragma once

// What both programs do from process start to end: restrict DLL loading, build the module and its
// window, run Main and then the window's message loop. COM starts on first use.

#include <windows.h>

#include <concepts>
#include <optional>

#include "ComOwners.h"
#include "ErrorText.h"
#include "EventDispatch.h"
#include "FormWindow.h"
#include "SingleCopy.h"
#include "Win32Platform.h"

namespace velmor::win32 {

// What a program's Module1 offers: it is built from the platform, its Form1 has the window, Main
// runs at start-up, and ExitCode is the program's exit code when Main shows no window.
template <typename Module>
concept ProgramModule = std::constructible_from<Module, Platform&> && requires(Module& module) {
  { module.Form1().Window() } -> std::same_as<Form&>;
  module.Main();
  { module.ExitCode() } -> std::convertible_to<int>;
};

template <ProgramModule Module>
int RunProgram(HINSTANCE instance, const wchar_t* title) {
  // Programs like these are often started from a download folder, where a planted DLL could stand
  // in for a system one: load DLLs from the system folder only.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
  // A second start brings the running copy forward and ends here.
  SingleCopy singleCopy(title);
  if (!singleCopy.Claim()) return 0;

  // COM starts when first needed: to decode the pictures at the first paint, once the window
  // shows, and to reach Excel. Waiting for it here would only delay the window. It ends after
  // everything that used it.
  ComApartment com(ComApartment::When::kOnFirstUse);
  FormWindow* window = nullptr;
  Win32Platform platform(
      title, [&window] { return window != nullptr ? window->Handle() : nullptr; }, com);

  // Everything from here on fails through the error border: the report is shown if it can be,
  // and nothing is thrown out of wWinMain.

  // The module outlives the window, whose form belongs to the module: the window is destroyed
  // first, and the form is told that it has no window any more.
  Module module(platform);
  std::optional<FormWindow> formWindow;
  struct WindowGone {
    Module& module;
    FormWindow*& window;
    ~WindowGone() {
      module.Form1().Window().AttachHost(nullptr);
      window = nullptr;
    }
  };
  if (!RunEventHandler(platform, [&] { formWindow.emplace(instance, platform, com); })) {
    return kExitRuntimeError;
  }
  const WindowGone detach{module, window};
  window = &*formWindow;
  module.Form1().Window().AttachHost(window);

  if (!RunEventHandler(platform, [&module] { module.Main(); })) return kExitRuntimeError;
  // Main may decline to show the window; the program then ends here.
  if (!module.Form1().Window().IsLoaded()) return module.ExitCode();
  singleCopy.MarkWindow(formWindow->Handle());
  return formWindow->RunMessageLoop();
}

}  // namespace velmor::win32
