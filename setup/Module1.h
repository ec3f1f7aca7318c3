#pragma once

// The setup program's code module: start-up, process launching and the Excel step, and the
// module-level state that the window's handlers read.

#include <cstdint>
#include <optional>
#include <string>

#include "Form1.h"
#include "Platform.h"
#include "SharedModule.h"

namespace setup {

// Exit code when the command line was rejected and no window was shown.
inline constexpr int kExitBadArgument = 2;

// What a second start of the setup program with commandLine says while a first copy, whose window
// has runningCaption, is running. The first copy's caption names the add-in it was started for
// (its window may only be open, not installing): a second start for another add-in is told that
// setup is already running for that one, and that its own is installed by ending the running setup
// and starting setup again.
// Empty (nothing to say) for the same add-in, or for an argument that names no add-in.
std::wstring SecondCopyNotice(const std::wstring& commandLine, const std::wstring& runningCaption);

class Module1 : public velmor::SharedModule {
 public:
  explicit Module1(velmor::Platform& platform);

  std::wstring BasePath;        // the distribution folder; "C:\Velmor" after the first Excel step
  std::int16_t AddinIndex = 0;  // the add-in row chosen on the command line, 1 to 5
  std::wstring TitleText;       // the window caption composed at start-up

  setup::Form1& Form1() { return form1_; }

  // Start-up: fills the catalogue, reads the command line, colours the add-in labels, sets the
  // caption and shows the window. With an unreadable command line it reports it and shows no
  // window.
  void Main();

  // Starts the program file at path, waits for it to end and returns its exit code. A program that
  // needs administrator rights is started again through the elevation prompt; when the user
  // declines it, nothing was run and the result is empty.
  std::optional<std::uint32_t> RunAndWait(const std::wstring& path);

  // The installer of that file name in the folder the program was started from. BasePath moves to
  // the product folder after the first Excel step, but the installers never do.
  std::wstring InstallerPath(const std::wstring& fileName) const;

  // Has Excel register the chosen add-in through the tool workbook. Returns false when a file was
  // missing or another Excel was open (the user has then been told, and Excel was not started).
  [[nodiscard]] bool SetExcelAddin();

 private:
  setup::Form1 form1_;
  std::wstring distributionFolder_;
};

}  // namespace setup
