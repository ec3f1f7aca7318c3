#include "ExcelTool.h"

namespace velmor {

std::wstring AddinFilePath(const std::wstring& folder, const std::wstring& baseName) {
  return folder + L"\\" + baseName + L".xla";
}

void RunToolMacro(Platform& platform, const ToolMacroCall& call,
                  const std::function<void()>& afterMacro) {
  std::unique_ptr<AutomationObject> excel = platform.CreateObject(L"Excel.Application");
  excel->Put(L"Visible", true);
  excel->Put(L"DisplayAlerts", false);
  // The Workbooks collection is fetched afresh for each use and released right after it.
  std::unique_ptr<AutomationObject> workbook =
      excel->GetProperty(L"Workbooks")->Call(L"Open", {call.workbookPath});
  excel->Call(L"Run", {call.macro, call.folder, call.baseName});
  if (afterMacro) afterMacro();
  excel->GetProperty(L"Workbooks")->Call(L"Close", {});
  excel->Call(L"Quit", {});
  workbook.reset();
  excel.reset();
}

}  // namespace velmor
