#include "Form1.h"

#include <array>
#include <optional>
#include <string>

#include "Module1.h"
#include "ResourceIds.h"
#include "RuntimeError.h"
#include "SharedWindowParts.h"

namespace setup {
namespace {

using velmor::ControlKind;
using velmor::ControlSpec;
using namespace velmor::parts;

constexpr ControlSpec AddinLabel(std::int16_t index, const wchar_t* caption, int top, int tab,
                                 velmor::ColorValue foreColor) {
  return {.kind = ControlKind::kLabel,
          .name = L"Label1",
          .index = index,
          .caption = caption,
          .box = {2200, top, 2295, 240},
          .font = kArialBold975,
          .foreColor = foreColor,
          .backColor = velmor::kButtonFace,
          .paintsBackground = true,
          .tabIndex = tab};
}

// Front to back: where two controls overlap, the earlier one lies on top.
constexpr std::array kControls{
    ControlSpec{.kind = ControlKind::kCheckBox,
                .name = L"Check1",
                .caption = L"Microsoft Visual C++ 2010 x86 Redistributable - 10.0.3019",
                .box = {1920, 840, 3135, 495},
                .font = kArialBold975,
                .tabIndex = 8},
    kExitButton,
    StartButton(240),
    kLogoBox,
    AddinLabel(4, L"Quillon.exe", 2740, 13, velmor::kButtonText),
    AddinLabel(3, L"MalvixEx.xla", 2480, 12, velmor::kTooltipText),
    AddinLabel(2, L"TorvaneEx.xla", 2220, 11, velmor::kButtonText),
    AddinLabel(1, L"BriselEx.xla", 1960, 10, velmor::kButtonText),
    AddinLabel(0, L"CordaleEx.xla", 1700, 9, velmor::kBlue),
    HorizontalRule(2, 1920, 5520, 3050),
    PlainLabel(L"Label4", 6, L"", {2280, 2685, 2655, 255}, kArialBold975, 7),
    HorizontalRule(1, 1920, 5520, 1410),
    HorizontalRule(0, 1920, 5520, 810),
    PlainLabel(L"Label4", 1, L"Addoin :", {1920, 1425, 855, 255}, kArialBold975, 6),
    kVersionLabel,
    kTelephoneLabel,
    kCompanyLabel,
};

}  // namespace

const velmor::FormSpec kForm1Spec = ProgramWindow(L"Velmor Setup", VELMOR_IDI_APP, kControls);

Form1::Form1(Module1& module) : ProgramForm(kForm1Spec), module_(module) {
  form_.BindClicks({
      {L"Command1", [this](std::int16_t index) { Command1_Click(index); }},
      {L"Command2", [this](std::int16_t) { Command2_Click(); }},
  });
}

Form1::InstallerResult Form1::RunInstaller(const wchar_t* fileName,
                                           bool alreadyInstalledIsSuccess) {
  const std::wstring path = module_.InstallerPath(fileName);
  const std::optional<std::uint32_t> code = module_.RunAndWait(path);
  if (!code) {
    module_.Desktop().MsgBox(
        L"管理者として実行する許可が得られなかったため、次のインストーラーを実行できませんでした。"
        L"インストールは行われていません。\n\n" +
        path + L"\n\nもう一度「開始」を押すと、改めて許可をお願いします。");
    return InstallerResult::kNotDone;
  }
  // 3010 and 1641: done, but Windows must restart (1641: the installer has started the restart).
  if (*code == 3010 || *code == 1641) return InstallerResult::kDoneRestartNeeded;
  // 1638: this or a newer version is already installed, which for the runtime redistributable is
  // as good as done.
  if (*code == 0 || (alreadyInstalledIsSuccess && *code == 1638)) return InstallerResult::kDone;
  module_.Desktop().MsgBox(L"インストーラーが正常に終了しませんでした。\n\n" + path +
                           L"\n終了コード: " + velmor::FormatErrorNumber(*code) +
                           L"\n\nもう一度「開始」を押すと、やり直します。");
  return InstallerResult::kNotDone;
}

void Form1::Command1_Click(std::int16_t /*Index*/) {
  const velmor::Form::Step step = form_.BeginStep(L"インストール中です。");
  // An Excel the user has open would undo the registration when it is closed: nothing starts
  // until it is, and the next click begins here again.
  if (!module_.Excels().NoneOpen()) return;
  velmor::Platform& desktop = module_.Desktop();
  std::wstring restartAskedBy;  // the installers of this click that asked for a restart
  const auto runInstaller = [&](const wchar_t* fileName, bool alreadyInstalledIsSuccess) {
    const InstallerResult result = RunInstaller(fileName, alreadyInstalledIsSuccess);
    if (result == InstallerResult::kDoneRestartNeeded) {
      restartAskedBy += (restartAskedBy.empty() ? L"" : L"、") + std::wstring(fileName);
    }
    return result != InstallerResult::kNotDone;
  };

  if (Check1().ForeColor() == velmor::kBlue) {
    desktop.MsgBox(L"MicroSoft Visual C++ セット済みです。");
  } else if (Check1().Value() == 1) {
    if (!runInstaller(L"vcredist_x86.exe", true)) return;
    Check1().SetForeColor(velmor::kBlue);
  }

  velmor::Control& addinLabel = Label1(static_cast<std::int16_t>(module_.AddinIndex - 1));
  if (addinLabel.ForeColor() == velmor::kButtonText) {
    if (!runInstaller(L"Velmor_Pgm.exe", false)) return;
    addinLabel.SetForeColor(velmor::kBlue);
  } else {
    desktop.MsgBox(L"必要なソフトは、展開済みです。");
  }

  if (!module_.SetExcelAddin()) return;
  desktop.MsgBox(L" ソフト展開完了！", velmor::MsgBoxStyle::kInformation, L"終了確認");
  if (!restartAskedBy.empty()) {
    desktop.MsgBox(L"インストーラー（" + restartAskedBy +
                       L"）から、Windows の再起動を求められました。\n"
                       L"アドインをお使いになる前に、Windows を再起動してください。",
                   velmor::MsgBoxStyle::kInformation);
  }
}

}  // namespace setup
