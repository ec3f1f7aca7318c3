#pragma once

// What both programs' Form1 are built on: the window's model, made from the program's table, with
// the Start buttons (the Command1 array) and the Exit button (Command2), whose click unloads the
// window and so ends the program.

#include <cstdint>

#include "FormModel.h"

namespace velmor {

class ProgramForm {
 public:
  Form& Window() { return form_; }

  Control& Command1(std::int16_t index) { return form_(L"Command1", index); }
  Control& Command2() { return form_(L"Command2"); }

  // The Exit button: unloads the window, which ends the program.
  void Command2_Click() { form_.Unload(); }

 protected:
  explicit ProgramForm(const FormSpec& spec) : form_(spec) {}

  Form form_;
};

}  // namespace velmor
