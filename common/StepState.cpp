#include "StepState.h"

#include <utility>

namespace velmor {
namespace {

// Counts one more opening, or one closing that has an opening.
void Count(int& counter, bool opened) {
  if (opened) {
    ++counter;
  } else if (counter > 0) {
    --counter;
  }
}

}  // namespace

StepEffects StepState::On(StepEvent event) {
  const bool messageJustClosed = std::exchange(messageJustClosed_, false);
  switch (event) {
    case StepEvent::kBegan:
      running_ = true;
      return {};
    case StepEvent::kEnded:
      if (!running_) return {};
      running_ = false;
      return {
          .dropQueuedInput = true, .dropQueuedClicks = !messageJustClosed, .giveFocusBack = true};
    case StepEvent::kMessageOpened:
      Count(messages_, true);
      return {.dropQueuedInput = true};
    case StepEvent::kMessageClosed:
      Count(messages_, false);
      messageJustClosed_ = true;
      return {};
    case StepEvent::kInstallerStarted:
    case StepEvent::kInstallerEnded:
      // An installer changes nothing of the window's: its window may come in front of ours, so
      // ours stays as the step has it, and the installer decides about its own work when the
      // session ends.
      return {};
    case StepEvent::kExcelStarted:
    case StepEvent::kExcelEnded:
      Count(excels_, event == StepEvent::kExcelStarted);
      return {};
    case StepEvent::kSessionEnded:
      return {.endProgram = true};
  }
  return {};
}

StepOutputs StepState::Outputs() const {
  const bool waiting = running_ && messages_ == 0;
  return {.enabled = true,
          .dropsInput = waiting,
          .unavailable = running_,
          .busyCursor = waiting,
          .refusesSessionEnd = excels_ > 0};
}

}  // namespace velmor
