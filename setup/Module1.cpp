#include "Module1.h"

#include <iterator>

#include "AddinArgument.h"
#include "AddinTable.h"
#include "Colors.h"
#include "ExcelTool.h"
#include "MessageText.h"

namespace setup {

using velmor::MsgBoxStyle;

namespace {

constexpr wchar_t kTitlePrefix[] = L"Velmor - ";

}  // namespace

std::wstring SecondCopyNotice(const std::wstring& commandLine, const std::wstring& runningCaption) {
  const AddinArgument choice = ReadAddinArgument(commandLine);
  if (!choice.index) return {};
  const std::wstring wanted = velmor::AddinOfRow(*choice.index).caption;
  if (runningCaption == kTitlePrefix + wanted) return {};
  // The window the first copy marked is always captioned by Main; only its add-in part is told.
  const std::wstring running = runningCaption.starts_with(kTitlePrefix)
                                   ? runningCaption.substr(std::size(kTitlePrefix) - 1)
                                   : runningCaption;
  return running + L" のセットアップが既に実行中です。\n" + wanted +
         L" をインストールするには、実行中のセットアップを終了してから、もう一度起動してください。";
}

Module1::Module1(velmor::Platform& platform) : SharedModule(platform), form1_(*this, platform) {}

void Module1::Main() {
  SetAddinNames();
  // Started as another account (run as administrator with an administrator's credentials), it
  // would register the add-in in that account's Excel, not in the desk user's.
  if (!RunsAsDesktopUser(&velmor::SetupOtherAccountMessage)) return;
  BasePath = platform_.AppPath();
  distributionFolder_ = BasePath;

  const AddinArgument choice = ReadAddinArgument(platform_.CommandLine());
  if (!choice.index) {
    platform_.MsgBox(BadArgumentMessage(choice.text), MsgBoxStyle::kOkOnly);
    exitCode_ = kExitBadArgument;
    return;
  }
  AddinIndex = *choice.index;

  // Every label is set to "not selected" first; the chosen one is then set again.
  for (const velmor::Addin& addin : velmor::kAddins) {
    velmor::Control& label = form1_.Label1(velmor::AddinControlIndex(addin.row));
    label.SetForeColor(velmor::k3DHighlight);
    if (AddinIndex == addin.row) label.SetForeColor(velmor::kButtonText);
  }
  TitleText = kTitlePrefix + form1_.Label1(velmor::AddinControlIndex(AddinIndex)).Caption();
  form1_.Window().SetCaption(TitleText);
  form1_.Window().Show();
}

std::optional<std::uint32_t> Module1::RunAndWait(const std::wstring& path) {
  velmor::ProgramRun run = platform_.StartAndWait(path);
  // Installers such as the runtime redistributable declare that they need administrator rights;
  // this program itself runs with the user's own (Excel's add-in settings are the user's).
  if (run.outcome == velmor::ProgramRun::Outcome::kNeedsElevation) {
    run = platform_.StartElevatedAndWait(path);
  }
  if (run.outcome != velmor::ProgramRun::Outcome::kEnded) return std::nullopt;
  return run.exitCode;
}

std::wstring Module1::InstallerPath(const std::wstring& fileName) const {
  return distributionFolder_ + L"\\" + fileName;
}

bool Module1::SetExcelAddin() {
  BasePath = velmor::kProductFolder;
  const std::wstring workbookPath = BasePath + L"\\" + velmor::kToolWorkbookName;
  const std::wstring folder = BasePath;
  const std::wstring baseName = AddinNames(AddinIndex);
  const std::wstring addinPath = velmor::AddinFilePath(folder, baseName);

  // Both files are always probed, in this order.
  const bool haveWorkbook = CheckFile(workbookPath);
  const bool haveAddin = CheckFile(addinPath);
  if (!haveWorkbook || !haveAddin) {
    platform_.MsgBox(L"ファイルがありません！", MsgBoxStyle::kOkOnly);
    return false;
  }
  // Excel opens the workbook and runs its macro, which registers the add-in file.
  if (!LinksTrusted({workbookPath, addinPath})) return false;
  return velmor::RunToolMacro(platform_, excels_,
                              {workbookPath, L"Addin_Install", folder, baseName});
}

}  // namespace setup
