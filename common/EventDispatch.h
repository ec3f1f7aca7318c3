#pragma once

// The one place where errors are caught. Handlers trap nothing; whatever they throw ends up here,
// is shown to the user as the run-time error report (titled with the program's title), and ends the
// program.

#include <exception>
#include <functional>
#include <utility>

#include "Platform.h"

namespace velmor {

// Runs an event handler (or the start-up procedure). Returns true when it completed; false when it
// failed, after the report has been shown: the caller must then end the program.
[[nodiscard]] bool RunEventHandler(Platform& platform,
                                   const std::function<void()>& handler) noexcept;

// Exit code of a program that was ended by the run-time error report.
inline constexpr int kExitRuntimeError = 1;

// A failure caught where it cannot be reported: at a window procedure's border, inside the
// system's code (painting, a change of DPI), which nothing may cross. The first one is held and
// thrown again where the program's own code goes on (after the message: in the message loop, or
// in the wait of a step, which it ends), so that it reaches the run-time error report as any other
// failure does, once.
class HeldFailure {
 public:
  // In a catch block: holds the failure being handled, unless one is held already.
  void Hold() noexcept {
    if (!failure_) failure_ = std::current_exception();
  }
  bool Holds() const noexcept { return static_cast<bool>(failure_); }
  // Throws the held failure, which is held no more.
  void ThrowIfHeld() {
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

 private:
  std::exception_ptr failure_;
};

}  // namespace velmor
