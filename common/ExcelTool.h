#pragma once

// Running one macro of the product's tool workbook in a new Excel instance, the way both programs
// do it: Visible, DisplayAlerts, Workbooks.Open, Run, (the caller's step), Workbooks.Close, Quit,
// then release the workbook before the application.

#include <functional>
#include <string>

#include "Platform.h"

namespace velmor {

inline constexpr wchar_t kProductFolder[] = L"C:\\Velmor";
inline constexpr wchar_t kToolWorkbookName[] = L"Velmor_Tool.xls";

// folder & "\" & baseName & ".xla"
std::wstring AddinFilePath(const std::wstring& folder, const std::wstring& baseName);

struct ToolMacroCall {
  std::wstring workbookPath;  // the tool workbook to open
  std::wstring macro;         // "Addin_Install" or "Addin_UnInstall"
  std::wstring folder;        // first macro argument: the product folder
  std::wstring baseName;      // second macro argument: the add-in base name
};

// Starts Excel, runs the macro and quits Excel. afterMacro, when given, runs once the macro has
// returned and before the workbooks are closed, while Excel still runs. Any failure is thrown; an
// Excel instance already started is then left as it is.
void RunToolMacro(Platform& platform, const ToolMacroCall& call,
                  const std::function<void()>& afterMacro = {});

}  // namespace velmor
