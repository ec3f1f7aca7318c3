#pragma once

// The uninstall window: its table of controls and its three handlers.

#include <cstdint>

#include "FormModel.h"

namespace uninstall {

class Module1;

// The window as laid out before any code runs.
extern const velmor::FormSpec kForm1Spec;

class Form1 {
 public:
  explicit Form1(Module1& module);

  velmor::Form& Window() { return form_; }

  velmor::Control& Option1(std::int16_t index) { return form_(L"Option1", index); }
  velmor::Control& Command1(std::int16_t index) { return form_(L"Command1", index); }
  velmor::Control& Command2() { return form_(L"Command2"); }

  // The Start button: releases the selected add-in, or asks for a selection.
  void Command1_Click(std::int16_t Index);
  // The Exit button: unloads the window, which ends the program.
  void Command2_Click();
  // An option button was clicked: the selected one turns blue and the caption names its add-in.
  void Option1_Click(std::int16_t Index);

 private:
  Module1& module_;
  velmor::Form form_;
};

}  // namespace uninstall
