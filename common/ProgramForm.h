#pragma once

// What both programs' Form1 are built on: the window's model, made from the program's table, with
// the Start buttons (the Command1 array) and the Exit button (Command2), whose click unloads the
// window and so ends the program; and OnClick, which binds a handler of a Form1 to a row of its
// table.

#include <cstdint>
#include <type_traits>

#include "FormModel.h"

namespace velmor {

class ProgramForm {
 public:
  ProgramForm(const ProgramForm&) = delete;
  ProgramForm& operator=(const ProgramForm&) = delete;

  Form& Window() { return form_; }

  Control& Command1(std::int16_t index) { return form_(L"Command1", index); }
  Control& Command2() { return form_(L"Command2"); }

  // The Exit button: unloads the window, which ends the program.
  void Command2_Click() { form_.Unload(); }

 protected:
  // spec: the program's own table, whose rows name handlers of the program's Form1, the class
  // derived from this one.
  explicit ProgramForm(const FormSpec& spec) : form_(spec, this) {}
  ~ProgramForm() = default;

  Form form_;
};

namespace detail {

template <typename Member>
struct HandlerOwner;

template <typename Owner, typename Function>
struct HandlerOwner<Function Owner::*> {
  using Type = Owner;
};

}  // namespace detail

// A click handler for a row of a program's table: OnClick<&Form1::Command1_Click>. The handler is
// a member function of the program's Form1 (or of ProgramForm), taking the clicked member's index
// or nothing; a handler that does not exist does not compile.
template <auto Handler>
inline constexpr ClickHandler OnClick = [](ProgramForm& window, std::int16_t index) {
  using Owner = typename detail::HandlerOwner<decltype(Handler)>::Type;
  static_assert(std::is_base_of_v<ProgramForm, Owner>, "a handler of a program's window");
  // The table is the program's own, and only its Form1 makes a form of it (ProgramForm).
  Owner& owner = static_cast<Owner&>(window);
  if constexpr (std::is_invocable_v<decltype(Handler), Owner&, std::int16_t>) {
    (owner.*Handler)(index);
  } else {
    (owner.*Handler)();
  }
};

}  // namespace velmor
