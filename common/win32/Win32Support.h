#pragma once

// Small Win32 facts and comparisons that the programs, the stand-ins, the test driver and the tests
// all need, kept here once.

#include <windows.h>

#include <string>
#include <string_view>

namespace velmor::win32 {

// The full path of the running program's file, whatever its length; empty when the system cannot
// say (GetLastError tells why).
std::wstring ModuleFileName();

// The part of a path after its last backslash (or slash).
std::wstring FileNameOf(const std::wstring& path);

// Whether two texts are equal ignoring case, as the file system and automation compare names:
// ordinal, with no locale's rules.
bool EqualsIgnoringCase(std::wstring_view left, std::wstring_view right);

// True when running under Wine (its ntdll exports wine_get_version).
bool RunningUnderWine();

// Whether a window belongs to this process (false for none).
bool IsOwnWindow(HWND window);

// Keyboard and pointer input (mouse, touch, pen), whichever window of the thread it is for.
bool IsUserInput(UINT message);

// Removes the keyboard and pointer input waiting in the thread's queue.
void DropQueuedInput();

}  // namespace velmor::win32
