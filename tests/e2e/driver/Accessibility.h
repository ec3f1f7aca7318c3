#pragma once

// The "reader" steps: the program's window read and used from this process as a screen reader
// does, through MSAA (AccessibleObjectFromWindow on the window, and on the focused control's
// window). Accessibility.cpp lists the steps.

namespace e2e {

class Driver;

// Waits, within the step timeout, until the window's object no longer says that it is unavailable:
// the step the program was running has ended, and what is typed from now on is read.
void WaitUntilAvailable(Driver& d);

}  // namespace e2e
