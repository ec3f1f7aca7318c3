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

// The add-in labels' colours are the run's progress: the add-in this run installs, and one whose
// package has run. The check box turns blue once its installer has run.
constexpr velmor::ColorMeaning kAddinLabelMeanings[] = {{velmor::kButtonText, L"選択中"},
                                                        {velmor::kBlue, L"展開済み"}};
constexpr velmor::ColorMeaning kCheckBoxMeanings[] = {{velmor::kBlue, L"インストール済み"}};

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

namespace {

// Windows Installer's codes for an installation that did not happen, with what the user can do
// about each; an NTSTATUS error code (0xC0000005 and the like) is an installer that crashed.
struct InstallerFailure {
  std::uint32_t code;
  const wchar_t* what;
  const wchar_t* remedy;
};

constexpr std::uint32_t kCrashed = 0xC0000000u;  // any code with both top bits set
constexpr InstallerFailure kInstallerFailures[] = {
    {1602, L"インストールが取り消されたため、何もインストールされていません。",
     L"もう一度「開始」を押すと、インストーラーを改めて起動します。"},
    {1618, L"ほかのインストールが実行中のため、インストールできませんでした。",
     L"そのインストールが終わるまでお待ちになってから、もう一度「開始」を押してください。"},
    {1603, L"インストール中にエラーが発生したため、インストールできませんでした。",
     L"もう一度「開始」を押すと、やり直します。"},
    {kCrashed, L"インストーラーが異常終了しました。", L"もう一度「開始」を押すと、やり直します。"},
};
constexpr InstallerFailure kOtherFailure = {0, L"インストーラーが正常に終了しませんでした。",
                                            L"もう一度「開始」を押すと、やり直します。"};

const InstallerFailure& FailureOf(std::uint32_t code) {
  const std::uint32_t key = (code & kCrashed) == kCrashed ? kCrashed : code;
  for (const InstallerFailure& failure : kInstallerFailures) {
    if (failure.code == key) return failure;
  }
  return kOtherFailure;
}

}  // namespace

Form1::InstallerResult Form1::RunInstaller(const wchar_t* fileName, bool isRuntime) {
  const std::wstring path = module_.InstallerPath(fileName);
  const std::optional<std::uint32_t> code = module_.RunAndWait(path);
  if (!code) {
    module_.Desktop().MsgBox(
        L"管理者として実行する許可が得られなかったため、次のインストーラーを実行できませんでした。"
        L"インストールは行われていません。\n\n" +
        path + L"\n\nもう一度「開始」を押すと、改めて許可をお願いします。");
    return InstallerResult::kNotDone;
  }
  switch (*code) {
    case 0:
    // 1638: this or a newer version is already installed. The Excel step's own file probes then
    // make sure the product files are there.
    case 1638:
      return InstallerResult::kDone;
    case 5100:
      // The runtime redistributable's code for a newer runtime of its line being installed: as
      // good as done. Any other installer's 5100 is no such promise.
      if (isRuntime) return InstallerResult::kDone;
      break;
    case 3010:  // done, but Windows must restart before the software is used
      return InstallerResult::kDoneRestartNeeded;
    case 1641:  // done, and the installer has already started the restart
      return InstallerResult::kDoneRestarting;
    default:
      break;
  }
  const InstallerFailure& failure = FailureOf(*code);
  module_.Desktop().MsgBox(std::wstring(failure.what) + L"\n\n" + path + L"\n終了コード: " +
                           velmor::FormatErrorNumber(*code) + L"\n\n" + failure.remedy);
  return InstallerResult::kNotDone;
}

void Form1::Command1_Click(std::int16_t /*Index*/) {
  const velmor::Form::Step step = form_.BeginStep(L"インストール中です。");
  // An Excel the user has open would undo the registration when it is closed: nothing starts
  // until it is, and the next click begins here again.
  if (!module_.Excels().NoneOpen()) return;
  velmor::Platform& desktop = module_.Desktop();
  std::wstring restartAskedBy;  // the installers of this click that asked for a restart
  // Runs one installer; marks it done and answers true when the click goes on after it.
  const auto runInstaller = [&](const wchar_t* fileName, bool isRuntime, velmor::Control& mark) {
    const InstallerResult result = RunInstaller(fileName, isRuntime);
    if (result == InstallerResult::kNotDone) return false;
    mark.SetForeColor(velmor::kBlue);
    if (result == InstallerResult::kDoneRestarting) {
      // Windows is going down: another installer or Excel started now would be cut off midway.
      desktop.MsgBox(L"インストーラー（" + std::wstring(fileName) +
                         L"）が Windows の再起動を始めました。\n"
                         L"再起動の後で、もう一度「開始」を押してください。",
                     velmor::MsgBoxStyle::kInformation);
      return false;
    }
    if (result == InstallerResult::kDoneRestartNeeded) {
      restartAskedBy += (restartAskedBy.empty() ? L"" : L"、") + std::wstring(fileName);
    }
    return true;
  };

  if (Check1().ForeColor() == velmor::kBlue) {
    desktop.MsgBox(L"MicroSoft Visual C++ セット済みです。");
  } else if (Check1().Value() == 1) {
    if (!runInstaller(L"vcredist_x86.exe", true, Check1())) return;
  }

  velmor::Control& addinLabel = Label1(static_cast<std::int16_t>(module_.AddinIndex - 1));
  if (addinLabel.ForeColor() == velmor::kButtonText) {
    if (!runInstaller(L"Velmor_Pgm.exe", false, addinLabel)) return;
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
