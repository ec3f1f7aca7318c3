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
//   clicks that other programs post or send to the controls change nothing. The frame still works:
//   the user may move the window out of an installer's way or minimise it.
// - Ending the session is refused from Excel's start until its process has ended: a registration
//   left half done is ours to protect, and Excel writes its add-in list as it ends, after we have
//   let go of it. An installer decides about its own work, and one that asked for a restart (1641)
//   has already started it.
// - Once the session ends (WM_ENDSESSION), Windows may end the process at any moment: the step
//   starts nothing more, and the program ends at once.

namespace velmor {

enum class StepEvent {
  kBegan,             // the step begins
  kEnded,             // the step has ended
  kMessageOpened,     // a message box of the program opens
  kMessageClosed,     // and has closed
  kInstallerStarted,  // the program waits for an installer it started
  kInstallerEnded,
  kExcelStarted,  // the program starts an Excel to drive it
  kExcelEnded,    // that Excel's process has ended (or was given up on: its end is not waited for)
  kSessionEnded,  // the session ends (WM_ENDSESSION agreed to)
};

// Input as the window's thread reads it: the keyboard, the pointer (mouse, touch, pen) on the
// client area and the controls, and the pointer on the frame (title bar, system menu, its buttons).
enum class InputKind { kKeys, kPointer, kFrame };

// What the window is and does while the state holds.
struct StepOutputs {
  bool enabled = true;  // never disabled (see above); a message box disables it for itself
  // The step's waits read keyboard and pointer input and drop it, but for the frame's (Drops). Not
  // while a message box shows: the box reads its own input.
  bool dropsInput = false;
  // The controls act on nothing: input, clicks and check changes that reach them from anywhere
  // change nothing and start nothing, the window does not close, and its accessible objects say
  // that they are unavailable.
  bool unavailable = false;
  bool busyCursor = false;  // the busy cursor shows over the window (not while a box asks)
  // The end of the session is refused, for the step's reason, which the system is given as soon
  // as this holds (it asks for it then, not when the session is about to end).
  bool refusesSessionEnd = false;

  // Whether input of that kind is dropped. The frame's never is: it moves and minimises the window
  // (the user may want to see the installer behind it) and acts on nothing of the step's; a close
  // it asks for is refused while the controls are unavailable.
  bool Drops(InputKind kind) const { return dropsInput && kind != InputKind::kFrame; }

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
  // The program ends now, whatever runs: nothing more may start.
  bool endProgram = false;

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
