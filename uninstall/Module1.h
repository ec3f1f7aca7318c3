#pragma once

// The uninstall program's code module: start-up and the release of an add-in.

#include <cstdint>
#include <string>

#include "Form1.h"
#include "Platform.h"
#include "SharedModule.h"

namespace uninstall {

class Module1 : public velmor::SharedModule {
 public:
  explicit Module1(velmor::Platform& platform);

  std::wstring BasePath;        // the folder of the running program, set by each release
  std::int16_t AddinIndex = 0;  // the row of the add-in being released
  std::wstring TitleText;       // the caption last composed by the selection

  uninstall::Form1& Form1() { return form1_; }

  // Start-up: fills the catalogue and shows the window with nothing selected.
  void Main();

  // Has Excel unregister the add-in of that catalogue row through the tool workbook beside this
  // program, deletes the add-in file and says which add-in was released; or reports what stands in
  // the way (an open Excel, a missing file, an add-in file in use) before anything has changed.
  void ReleaseAddin(std::int16_t row);

 private:
  uninstall::Form1 form1_;
};

}  // namespace uninstall
