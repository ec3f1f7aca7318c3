// Entry point of UnInstall.exe.

#include <windows.h>

#include "Module1.h"
#include "ProgramMain.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return velmor::win32::RunProgram<uninstall::Module1>(instance, L"UnInstall");
}
