#pragma once

// The uninstall window: its table of controls and its three handlers.

#include <cstdint>

#include "Platform.h"
#include "ProgramForm.h"

namespace uninstall {

class Module1;

// The window as laid out before any code runs.
extern const velmor::FormSpec kForm1Spec;

class Form1 : public velmor::ProgramForm {
 public:
  Form1(Module1& module, velmor::Platform& platform);

  velmor::Control& Option1(std::int16_t index) { return form_(L"Option1", index); }

  // The Start button: releases the selected add-in, or asks for a selection.
  void Command1_Click(std::int16_t Index);
  // An option button was clicked: the selected one turns blue and the caption names its add-in.
  void Option1_Click(std::int16_t Index);

 private:
  Module1& module_;
  velmor::Platform& platform_;
};

}  // namespace uninstall
