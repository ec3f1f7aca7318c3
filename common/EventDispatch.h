#pragma once

// The one place where errors are caught. Handlers trap nothing; whatever they throw ends up here,
// is shown to the user as the run-time error report (titled with the program's title), and ends the
// program.

#include <functional>

#include "Platform.h"

namespace velmor {

// Runs an event handler (or the start-up procedure). Returns true when it completed; false when it
// failed, after the report has been shown: the caller must then end the program.
[[nodiscard]] bool RunEventHandler(Platform& platform,
                                   const std::function<void()>& handler) noexcept;

// Exit code of a program that was ended by the run-time error report.
inline constexpr int kExitRuntimeError = 1;

}  // namespace velmor
