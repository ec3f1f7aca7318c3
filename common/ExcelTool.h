#pragma once

// Running one macro of the product's tool workbook in a new Excel instance, the way both programs
// do it: Visible, DisplayAlerts, Workbooks.Open, Run, (the caller's step), Workbooks.Close, Quit,
// then release the workbook before the application.
//
// A real Excel answers like a server, not like a library: while it starts, loads its add-ins,
// shows a dialog or recalculates it turns calls away, and it may end before its answer to Quit
// reaches us. The Excel step therefore retries turned-away calls for a while, takes an Excel gone
// during Quit for the end it asked for, and reports Excel's common failures in plain words.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Platform.h"
#include "RuntimeError.h"

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
// returned and before the workbooks are closed, while Excel still runs. Every call to Excel, its
// creation included, is made patiently: tried again while Excel turns it away. An Excel gone during
// Quit has ended as asked; any other failure is thrown, and an Excel instance already started is
// then left as it is.
void RunToolMacro(Platform& platform, const ToolMacroCall& call,
                  const std::function<void()>& afterMacro = {});

// How long a turned-away call is tried again, counted from its first attempt, and the pause
// between two attempts.
inline constexpr std::uint64_t kBusyLimitMs = 60000;
inline constexpr std::uint32_t kBusyPauseMs = 250;

}  // namespace velmor
