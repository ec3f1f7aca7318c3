#pragma once

// The setup window: its table of controls and its two button handlers.

#include <cstdint>

#include "Platform.h"
#include "ProgramForm.h"

namespace setup {

class Module1;

// The window as laid out before any code runs.
extern const velmor::FormSpec kForm1Spec;

class Form1 : public velmor::ProgramForm {
 public:
  Form1(Module1& module, velmor::Platform& platform);

  velmor::Control& Label1(std::int16_t index) { return form_(L"Label1", index); }
  velmor::Control& Check1() { return form_(L"Check1"); }

  // The Start button: installers, the Excel step and the closing message.
  void Command1_Click(std::int16_t Index);

 private:
  Module1& module_;
  velmor::Platform& platform_;
};

}  // namespace setup
