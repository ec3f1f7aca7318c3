#include "Form1.h"

#include <array>
#include <string>

#include "AddinTable.h"
#include "InstallerStep.h"
#include "Module1.h"
#include "ResourceIds.h"
#include "SharedWindowParts.h"

namespace setup {
namespace {

using velmor::ControlKind;
using velmor::ControlSpec;
using namespace velmor::parts;

// The add-in labels' colours are the run's progress: the add-in this run installs, and one whose
// package has run. The check box turns blue once its installer has run. The words are those a
// Japanese screen reader speaks well: a label cannot be selected, so not "selected"; and the
// package's work is named as the closing message names it, since "expanded" alone is heard as a
// tree item's state.
constexpr velmor::ColorMeaning kAddinLabelMeanings[] = {{velmor::kButtonText, L"インストール対象"},
                                                        {velmor::kBlue, L"ソフト展開済み"}};
constexpr velmor::ColorMeaning kCheckBoxMeanings[] = {{velmor::kBlue, L"インストール済み"}};

// The label of the add-in of a catalogue row.
constexpr ControlSpec AddinLabel(std::int16_t row, int top, int tab, velmor::ColorValue foreColor) {
  return {.kind = ControlKind::kLabel,
          .name = L"Label1",
          .index = velmor::AddinControlIndex(row),
          .caption = velmor::AddinOfRow(row).caption,
          .box = {2200, top, 2295, 240},
          .font = kArialBold975,
          .foreColor = foreColor,
          .backColor = velmor::kButtonFace,
          .paintsBackground = true,
          .tabIndex = tab,
          .colorMeanings = kAddinLabelMeanings};
}

// Front to back: where two controls overlap, the earlier one lies on top.
constexpr std::array kControls{
    ControlSpec{.kind = ControlKind::kCheckBox,
                .name = L"Check1",
                .caption = L"Microsoft Visual C++ 2010 x86 Redistributable - 10.0.3019",
                .box = {1920, 840, 3135, 495},
                .font = kArialBold975,
                .tabIndex = 8,
                .colorMeanings = kCheckBoxMeanings},
    kExitButton,
    StartButton(240, velmor::OnClick<&Form1::Command1_Click>),
    kLogoBox,
    AddinLabel(5, 2740, 13, velmor::kButtonText),
    AddinLabel(4, 2480, 12, velmor::kTooltipText),
    AddinLabel(3, 2220, 11, velmor::kButtonText),
    AddinLabel(2, 1960, 10, velmor::kButtonText),
    AddinLabel(1, 1700, 9, velmor::kBlue),
    HorizontalRule(2, 1920, 5520, 3050),
    PlainLabel(L"Label4", 6, L"", {2280, 2685, 2655, 255}, kArialBold975, 7),
    HorizontalRule(1, 1920, 5520, 1410),
    HorizontalRule(0, 1920, 5520, 810),
    PlainLabel(L"Label4", 1, L"Addoin :", {1920, 1425, 855, 255}, kArialBold975, 6),
    kVersionLabel,
    kTelephoneLabel,
    kCompanyLabel,
};

static_assert(velmor::ClicksOnlyOnButtons(kControls));

}  // namespace

const velmor::FormSpec kForm1Spec = ProgramWindow(L"Velmor Setup", VELMOR_IDI_APP, kControls);

Form1::Form1(Module1& module, velmor::Platform& platform)
    : ProgramForm(kForm1Spec), module_(module), platform_(platform) {}

void Form1::Command1_Click(std::int16_t /*Index*/) {
  const velmor::Form::Step step = form_.BeginStep(L"アドインをインストールしています。");
  // An Excel the user has open would undo the registration when it is closed: nothing starts
  // until it is, and the next click begins here again.
  if (!module_.Excels().NoneOpen()) return;
  std::wstring restartAskedBy;  // the installers of this click that asked for a restart
  // Runs one installer; marks it done and answers true when the click goes on after it.
  const auto runInstaller = [&](const wchar_t* fileName, bool isRuntime, velmor::Control& mark) {
    const InstallerResult result = RunInstaller(module_, platform_, fileName, isRuntime);
    if (result == InstallerResult::kNotDone) return false;
    mark.SetForeColor(velmor::kBlue);
    if (result == InstallerResult::kDoneRestarting) {
      // Windows is going down: another installer or Excel started now would be cut off midway.
      platform_.MsgBox(L"インストーラー（" + std::wstring(fileName) +
                           L"）が Windows の再起動を開始しました。\n"
                           L"アドインのインストールはまだ完了していません。\n"
                           L"Windows の再起動後に、セットアップをもう一度起動して、"
                           L"「開始」を押してください。",
                       velmor::MsgBoxStyle::kInformation);
      return false;
    }
    if (result == InstallerResult::kDoneRestartNeeded) {
      restartAskedBy += (restartAskedBy.empty() ? L"" : L"、") + std::wstring(fileName);
    }
    return true;
  };

  if (Check1().ForeColor() == velmor::kBlue) {
    platform_.MsgBox(L"MicroSoft Visual C++ セット済みです。");
  } else if (Check1().Value() == 1) {
    if (!runInstaller(L"vcredist_x86.exe", true, Check1())) return;
  }

  velmor::Control& addinLabel = Label1(velmor::AddinControlIndex(module_.AddinIndex));
  if (addinLabel.ForeColor() == velmor::kButtonText) {
    if (!runInstaller(L"Velmor_Pgm.exe", false, addinLabel)) return;
  } else {
    platform_.MsgBox(L"必要なソフトは、展開済みです。");
  }

  if (!module_.SetExcelAddin()) return;
  platform_.MsgBox(L" ソフト展開完了！", velmor::MsgBoxStyle::kInformation, L"終了確認");
  if (!restartAskedBy.empty()) {
    platform_.MsgBox(L"インストーラー（" + restartAskedBy +
                         L"）の処理を完了するには、Windows の再起動が必要です。\n"
                         L"アドインを使う前に、Windows を再起動してください。",
                     velmor::MsgBoxStyle::kInformation);
  }
}

}  // namespace setup
