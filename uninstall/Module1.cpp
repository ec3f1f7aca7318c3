#include "Module1.h"

#include "ExcelTool.h"
#include "MessageText.h"

namespace uninstall {

Module1::Module1(velmor::Platform& platform) : SharedModule(platform), form1_(*this, platform) {}

void Module1::Main() {
  SetAddinNames();
  // Started as another account, it would release the add-in from that account's Excel and delete
  // the file that the desk user's Excel still lists.
  if (!RunsAsDesktopUser(&velmor::UninstallOtherAccountMessage)) return;
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

  // An Excel the user has open would list the add-in again when it is closed; it holds the add-in
  // file open too.
  if (!excels_.NoneOpen()) return;

  // Both files are always probed, in this order.
  const bool haveWorkbook = CheckFile(workbookPath);
  const bool haveAddin = CheckFile(addinPath);
  if (!haveWorkbook || !haveAddin) {
    platform_.MsgBox(L"開放するアドインファイルがありません！");
    return;
  }
  // Excel opens the workbook and runs its macro; the add-in file is deleted.
  if (!LinksTrusted({workbookPath, addinPath})) return;
  // The file goes after the macro has unregistered the add-in; a file that cannot go then would
  // leave the add-in half released. So it must be free before Excel is started.
  if (platform_.FileInUse(addinPath)) {
    platform_.MsgBox(
        L"アドインファイルがほかのプログラムで使用中のため、削除できません。\n"
        L"何も変更していません。\n\nファイル: " +
        addinPath +
        L"\n\nファイルを使用しているプログラムを終了してから、"
        L"もう一度「開始」を押してください。");
    return;
  }
  // The file goes once the macro has returned, while Excel still runs.
  if (!velmor::RunToolMacro(platform_, excels_,
                            {workbookPath, L"Addin_UnInstall", folder, baseName},
                            [&] { RemoveFile(addinPath); })) {
    return;
  }
  platform_.MsgBox(L"アドイン関数(" + baseName + L")を開放しました。");
}

}  // namespace uninstall
