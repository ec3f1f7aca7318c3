// What the window does about a step, event by event, as one table: a setup click that meets the
// message that an Excel is open, then runs an installer, drives Excel and shows a message while
// Excel runs; the events that arrive out of turn; and the end of the session during a step.

#include <gtest/gtest.h>

#include <string>

#include "StepState.h"

namespace {

using velmor::StepEffects;
using velmor::StepEvent;
using velmor::StepOutputs;

// Input dropped is the keyboard's and the pointer's on the client area, never the frame's.
std::string Text(const StepOutputs& o) {
  using velmor::InputKind;
  const bool dropsInput = o.Drops(InputKind::kKeys) && o.Drops(InputKind::kPointer);
  return std::string(o.enabled ? "enabled" : "disabled") + (dropsInput ? " drops-input" : "") +
         (o.Drops(InputKind::kFrame) ? " drops-frame" : "") +
         (o.unavailable ? " unavailable" : "") + (o.busyCursor ? " busy-cursor" : "") +
         (o.refusesSessionEnd ? " refuses-session-end" : "");
}

std::string Text(const StepEffects& e) {
  return std::string(e.dropQueuedInput ? "drop-input " : "") +
         (e.dropQueuedClicks ? "drop-clicks " : "") + (e.giveFocusBack ? "focus-back " : "") +
         (e.endProgram ? "end-program" : "");
}

TEST(StepState, EveryEventAndWhatTheWindowDoes) {
  constexpr bool y = true;
  constexpr bool n = false;
  struct Row {
    const char* what;
    StepEvent event;
    // After the event: enabled, drops input, unavailable, busy cursor, refuses the session's end.
    StepOutputs now;
    // At the event: drop the queued input, drop the queued clicks, give the focus back, end the
    // program.
    StepEffects effects;
  };
  const Row rows[] = {
      // Before a step (a second copy's notice, the run-time error report): a box takes its input.
      {"a box outside a step", StepEvent::kMessageOpened, {y, n, n, n, n}, {y, n, n}},
      {"closed", StepEvent::kMessageClosed, {y, n, n, n, n}, {n, n, n}},
      {"the click begins a step", StepEvent::kBegan, {y, y, y, y, n}, {n, n, n}},
      {"an Excel is open: the box", StepEvent::kMessageOpened, {y, n, y, n, n}, {y, n, n}},
      {"closed", StepEvent::kMessageClosed, {y, y, y, y, n}, {n, n, n}},
      // Its window may come in front of ours, and it decides about its own work (1641).
      {"an installer runs", StepEvent::kInstallerStarted, {y, y, y, y, n}, {n, n, n}},
      {"it has ended", StepEvent::kInstallerEnded, {y, y, y, y, n}, {n, n, n}},
      {"Excel starts", StepEvent::kExcelStarted, {y, y, y, y, y}, {n, n, n}},
      {"a box while Excel runs", StepEvent::kMessageOpened, {y, n, y, n, y}, {y, n, n}},
      {"closed", StepEvent::kMessageClosed, {y, y, y, y, y}, {n, n, n}},
      // Released, it writes its add-in list as it ends: still refused until then, after the step.
      {"the step ends", StepEvent::kEnded, {y, n, n, n, y}, {y, n, y}},
      {"Excel's process has ended", StepEvent::kExcelEnded, {y, n, n, n, n}, {n, n, n}},
      // A step that ends as its last message closes keeps the clicks posted since: the box read
      // all the others.
      {"another step", StepEvent::kBegan, {y, y, y, y, n}, {n, n, n}},
      {"its last message", StepEvent::kMessageOpened, {y, n, y, n, n}, {y, n, n}},
      {"answered", StepEvent::kMessageClosed, {y, y, y, y, n}, {n, n, n}},
      {"the step ends", StepEvent::kEnded, {y, n, n, n, n}, {y, n, y}},
      // Out of turn: nothing changes, and nothing is owed later.
      {"an end without a start", StepEvent::kExcelEnded, {y, n, n, n, n}, {n, n, n}},
      {"an end without a step", StepEvent::kEnded, {y, n, n, n, n}, {n, n, n}},
      {"a close without a box", StepEvent::kMessageClosed, {y, n, n, n, n}, {n, n, n}},
      {"Excel once more", StepEvent::kExcelStarted, {y, n, n, n, y}, {n, n, n}},
      {"ended", StepEvent::kExcelEnded, {y, n, n, n, n}, {n, n, n}},
      // The session ends while an installer runs: the program ends, the step starts nothing more.
      {"a third step", StepEvent::kBegan, {y, y, y, y, n}, {n, n, n}},
      {"its installer runs", StepEvent::kInstallerStarted, {y, y, y, y, n}, {n, n, n}},
      {"the session ends", StepEvent::kSessionEnded, {y, y, y, y, n}, {n, n, n, y}},
  };
  velmor::StepState state;
  EXPECT_EQ(Text(state.Outputs()), Text(StepOutputs{}));  // idle: enabled, nothing else
  for (const Row& row : rows) {
    const StepEffects effects = state.On(row.event);
    EXPECT_EQ(Text(state.Outputs()), Text(row.now)) << row.what;
    EXPECT_EQ(Text(effects), Text(row.effects)) << row.what;
  }
}

}  // namespace
