#pragma once

// The setup window: its table of controls and its two button handlers.

#include <cstdint>

#include "ProgramForm.h"

namespace setup {

class Module1;

// The window as laid out before any code runs.
extern const velmor::FormSpec kForm1Spec;

class Form1 : public velmor::ProgramForm {
 public:
  explicit Form1(Module1& module);

  velmor::Control& Label1(std::int16_t index) { return form_(L"Label1", index); }
  velmor::Control& Check1() { return form_(L"Check1"); }

  // The Start button: installers, the Excel step and the closing message.
  void Command1_Click(std::int16_t Index);

 private:
  enum class InstallerResult { kNotDone, kDone, kDoneRestartNeeded, kDoneRestarting };

  // Runs one installer and says whether it did its work (telling the user when it did not).
  // isRuntime: the runtime redistributable, whose "a newer runtime is installed" counts as done.
  InstallerResult RunInstaller(const wchar_t* fileName, bool isRuntime);

  Module1& module_;
};

}  // namespace setup
