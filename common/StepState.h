#pragma once

// What a window does about a step (the work behind its Start button), decided in one place. A
// step may show message boxes and wait for an installer or for Excel, and these nest: the message
// that an Excel is open comes before Excel starts, and a message may show while Excel runs. The
// state turns what happens into everything the window does about it; the Win32 part applies that to
// the window, and the accessible objects read it.
//
// The rules come from Windows:
// - The window is never disabled. When the foreground window is destroyed (an installer's, Excel's)
//   Windows activates the next enabled, visible top-level window; a disabled one is skipped, the
//   program the user started us from comes to the front, and we may not take the foreground back
//   (SetForegroundWindow's conditions). So input during a step is read and dropped instead, and
//   clicks that other programs post or send to the controls change nothing.
// - Ending the session is refused only while Excel is driven: a registration left half done is
//   ours to protect. An installer decides about its own work, and one that asked for a restart
//   (1641) has already started it.

namespace velmor {

enum class StepEvent {
  kBegan,             // the step begins
  kEnded,             // the step has ended
  kMessageOpened,     // a message box of the program opens
  kMessageClosed,     // and has closed
  kInstallerStarted,  // the program waits for an installer it started
  kInstallerEnded,
  kExcelStarted,  // the program drives an Excel it started
  kExcelReleased,
};

// What the window is and does while the state holds.
struct StepOutputs {
  bool enabled = true;  // never disabled (see above); a message box disables it for itself
  // The step's waits read keyboard and mouse input and drop it. Not while a message box shows: the
  // box reads its own input.
  bool dropsInput = false;
  // The controls act on nothing: input, clicks and check changes that reach them from anywhere
  // change nothing and start nothing, the window does not close, and its accessible objects say
  // that they are unavailable.
  bool unavailable = false;
  bool busyCursor = false;  // the busy cursor shows over the window (not while a box asks)
  // The end of the session is refused, for the step's reason, which the system is given as soon
  // as this holds (it asks for it then, not when the session is about to end).
  bool refusesSessionEnd = false;

  bool operator==(const StepOutputs&) const = default;
};

// What the window does once, at an event.
struct StepEffects {
  // Keyboard and mouse input queued so far is dropped: a message box would take a queued key (a
  // queued Enter would close it unseen), and nothing typed during a step may act after it, not
  // even an Enter held down on the step's last message.
  bool dropQueuedInput = false;
  // Clicks queued for the controls by other programs (a posted BM_CLICK, say) are dropped: one
  // posted during the step must not act after it. Not when the step ends as its message box
  // closes: the box's own loop has read every click posted before it closed (the controls dropped
  // them), so what is queued now was posted after the user answered it.
  bool dropQueuedClicks = false;
  // The focus goes back to its control, the activation too when no other program has it.
  bool giveFocusBack = false;

  bool operator==(const StepEffects&) const = default;
};

class StepState {
 public:
  // Moves the state on; what the window does at once. An event without its opening one (an end
  // without a beginning) changes nothing.
  StepEffects On(StepEvent event);

  StepOutputs Outputs() const;

 private:
  bool running_ = false;
  bool messageJustClosed_ = false;  // the last event was a message box closing
  int messages_ = 0;
  int excels_ = 0;
};

}  // namespace velmor
