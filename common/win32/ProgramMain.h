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
#include "StepWindow.h"
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

// What a second start of a program says before the running copy comes forward, given its own
// command line and the running copy's window caption; empty: nothing.
using SecondCopyNotice = std::wstring (*)(const std::wstring& commandLine,
                                          const std::wstring& runningCaption);

template <ProgramModule Module>
int RunProgram(HINSTANCE instance, const wchar_t* title,
               SecondCopyNotice secondCopyNotice = nullptr) {
  // Programs like these are often started from a download folder, where a planted DLL could stand
  // in for a system one: load DLLs from the system folder only.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

  // COM starts when first needed: to decode the pictures at the first paint, once the window
  // shows, to reach Excel, and to hand a screen reader the window's accessible objects. Waiting for
  // it here would only delay the window. It ends after everything that used it, or, once a screen
  // reader has had objects, with the process (ComApartment::LeaveToProcessEnd).
  ComApartment com(ComApartment::When::kOnFirstUse);
  // What the window does during a step; the platform and the window tell it what happens, and the
  // platform's message boxes belong to its window.
  StepWindow steps;
  Win32Platform platform(title, steps, com);

  // A second start brings the running copy forward and ends here, after saying what it has to say.
  SingleCopy singleCopy(title);
  const auto tell = [&](const std::wstring& runningCaption) {
    if (secondCopyNotice == nullptr) return;
    const std::wstring notice = secondCopyNotice(platform.CommandLine(), runningCaption);
    if (notice.empty()) return;
    static_cast<void>(RunEventHandler(
        platform, [&] { platform.MsgBox(notice, MsgBoxStyle::kOkOnly, std::nullopt); }));
  };
  if (!singleCopy.Claim(tell)) return 0;

  // Everything from here on fails through the error border: the report is shown if it can be,
  // and nothing is thrown out of wWinMain.

  // The module outlives the window, whose form belongs to the module: the window is destroyed
  // first, and the form is told that it has no window any more.
  Module module(platform);
  std::optional<FormWindow> formWindow;
  struct WindowGone {
    Module& module;
    ~WindowGone() { module.Form1().Window().AttachHost(nullptr); }
  };
  if (!RunEventHandler(platform, [&] { formWindow.emplace(instance, platform, steps, com); })) {
    return kExitRuntimeError;
  }
  const WindowGone detach{module};
  module.Form1().Window().AttachHost(&*formWindow);

  if (!RunEventHandler(platform, [&module] { module.Main(); })) return kExitRuntimeError;
  // Main may decline to show the window; the program then ends here.
  if (!module.Form1().Window().IsLoaded()) return module.ExitCode();
  singleCopy.MarkWindow(formWindow->Handle());
  return formWindow->RunMessageLoop();
}

}  // namespace velmor::win32
