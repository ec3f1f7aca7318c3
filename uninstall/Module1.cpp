#include "Module1.h"

#include "ExcelTool.h"

namespace uninstall {

Module1::Module1(velmor::Platform& platform) : SharedModule(platform), form1_(*this) {}

void Module1::Main() {
  SetAddinNames();
  form1_.Window().Load();
  form1_.Window().Show();
}

void Module1::ReleaseAddin(std::int16_t row) {
  AddinIndex = row;
  BasePath = platform_.AppPath();
  // The tool workbook is the one beside this program, not the one in the product folder.
  const std::wstring workbookPath = BasePath + L"\\" + velmor::kToolWorkbookName;
  const std::wstring folder = velmor::kProductFolder;
  const std::wstring baseName = AddinNames(AddinIndex);
  const std::wstring addinPath = velmor::AddinFilePath(folder, baseName);

  // Both files are always probed, in this order.
  const bool haveWorkbook = CheckFile(workbookPath);
  const bool haveAddin = CheckFile(addinPath);
  if (!haveWorkbook || !haveAddin) {
    platform_.MsgBox(L"開放するアドインファイルがありません！");
    return;
  }
  // The file goes once the macro has returned, while Excel still runs.
  velmor::RunToolMacro(platform_, {workbookPath, L"Addin_UnInstall", folder, baseName},
                       [&] { RemoveFile(addinPath); });
  platform_.MsgBox(L"アドイン関数(" + baseName + L")を開放しました。");
}

}  // namespace uninstall
