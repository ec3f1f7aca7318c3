// Entry point of Velmor_Setup.exe.

#include "Module1.h"
#include "ProgramMain.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return velmor::win32::RunProgram<setup::Module1>(instance, L"Velmor_Setup",
                                                   setup::SecondCopyNotice);
}
