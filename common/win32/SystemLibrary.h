#pragma once

// Functions of system DLLs that are not on the loader's list of known DLLs. Importing them would
// let a DLL of the same name in the program's folder (a download folder, say) be loaded instead;
// here they are looked up at run time, from the system folder only.

#include <windows.h>

namespace velmor::win32 {

// SetWindowTheme of uxtheme.dll. Returns false when the theme library or the function is missing
// (the control then keeps its theme, which changes how it looks, not what it does).
bool SetWindowThemeFromSystem(HWND window, const wchar_t* subAppName, const wchar_t* subIdList);

}  // namespace velmor::win32
