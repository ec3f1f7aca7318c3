#pragma once

// Functions of system DLLs looked up at run time, from the system folder only. uxtheme.dll is not
// on the loader's list of known DLLs: importing it would let a DLL of that name in the program's
// folder (a download folder, say) be loaded instead. shell32.dll is, but it is large and pulls in
// more DLLs, and the programs need it only to ask for administrator rights, so it is not loaded at
// every start.

#include <windows.h>

#include <shellapi.h>

namespace velmor::win32 {

// SetWindowTheme of uxtheme.dll. Returns false when the theme library or the function is missing
// (the control then keeps its theme, which changes how it looks, not what it does).
bool SetWindowThemeFromSystem(HWND window, const wchar_t* subAppName, const wchar_t* subIdList);

// ShellExecuteExW of shell32.dll, with its result and last error. When shell32 or the function
// cannot be had, FALSE with the loader's error.
BOOL ShellExecuteExFromSystem(SHELLEXECUTEINFOW* info);

}  // namespace velmor::win32
