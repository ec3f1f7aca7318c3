#pragma once

// The stand-in started with no arguments: an Excel the user opened. Like Excel, it reads the
// add-in list when it starts and writes it back when it is closed, so whatever another instance
// registered or released meanwhile is undone. Its main window has Excel's window class.

#include <windows.h>

namespace excel {

// Shows the window and runs until the user closes it; the process exit code.
int RunUserExcel(HINSTANCE instance);

}  // namespace excel
