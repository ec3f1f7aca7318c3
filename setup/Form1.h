#pragma once

// The setup window: its table of controls and its two button handlers.

#include <cstdint>

#include "FormModel.h"

namespace setup {

class Module1;

// The window as laid out before any code runs.
extern const velmor::FormSpec kForm1Spec;

class Form1 {
 public:
  explicit Form1(Module1& module);

  velmor::Form& Window() { return form_; }

  velmor::Control& Label1(std::int16_t index) { return form_(L"Label1", index); }
  velmor::Control& Check1() { return form_(L"Check1"); }
  velmor::Control& Command1(std::int16_t index) { return form_(L"Command1", index); }
  velmor::Control& Command2() { return form_(L"Command2"); }

  // The Start button: installers, the Excel step and the closing message.
  void Command1_Click(std::int16_t Index);
  // The Exit button: unloads the window, which ends the program.
  void Command2_Click();

 private:
  enum class InstallerResult { kNotDone, kDone, kDoneRestartNeeded };

  // Runs one installer and says whether it did its work (telling the user when it did not).
  InstallerResult RunInstaller(const wchar_t* fileName, bool alreadyInstalledIsSuccess);

  Module1& module_;
  velmor::Form form_;
};

}  // namespace setup
