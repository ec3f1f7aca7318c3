#include "Form1.h"

#include <array>

#include "Module1.h"
#include "ResourceIds.h"
#include "RuntimeError.h"

namespace setup {
namespace {

using velmor::ControlKind;
using velmor::ControlSpec;
using velmor::FontSpec;

constexpr FontSpec kArialBold975{L"Arial", 9.75, 700, 0};
constexpr FontSpec kArialBold1125{L"Arial", 11.25, 700, 0};
constexpr FontSpec kArial9{L"Arial", 9, 400, 0};
constexpr FontSpec kGothicBold975{L"ＭＳ ゴシック", 9.75, 700, 128};
constexpr FontSpec kGothicBold1125{L"ＭＳ ゴシック", 11.25, 700, 128};
constexpr FontSpec kMinchoE1125{L"HG明朝E", 11.25, 400, 128};
constexpr FontSpec kNoFont{};

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

constexpr ControlSpec Rule(std::int16_t index, int y) {
  return {.kind = ControlKind::kLine,
          .name = L"Line1",
          .index = index,
          .line = {1920, y, 5520, y},
          .font = kNoFont,
          .foreColor = velmor::kWindowText};
}

constexpr ControlSpec PlainLabel(const wchar_t* name, std::int16_t index, const wchar_t* caption,
                                 velmor::TwipsRect box, FontSpec font, int tab) {
  return {.kind = ControlKind::kLabel,
          .name = name,
          .index = index,
          .caption = caption,
          .box = box,
          .font = font,
          .foreColor = velmor::kWindowText,
          .backColor = velmor::kWindowBackground,
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
    ControlSpec{.kind = ControlKind::kCommandButton,
                .name = L"Command2",
                .caption = L"終了",
                .box = {4920, 3360, 855, 495},
                .font = kGothicBold975,
                .tabIndex = 2},
    ControlSpec{.kind = ControlKind::kCommandButton,
                .name = L"Command1",
                .index = 1,
                .caption = L"開始",
                .box = {240, 1080, 1095, 975},
                .font = kGothicBold1125,
                .tabIndex = 1,
                .pictureId = VELMOR_IDR_START_PICTURE},
    ControlSpec{.kind = ControlKind::kPictureBox,
                .name = L"Picture2",
                .box = {120, 120, 2055, 495},
                .font = kNoFont,
                .foreColor = velmor::kWindowText,
                .backColor = velmor::kWindowBackground,
                .tabIndex = 0,
                .pictureId = VELMOR_IDR_LOGO},
    AddinLabel(4, L"Quillon.exe", 2740, 13, velmor::kButtonText),
    AddinLabel(3, L"MalvixEx.xla", 2480, 12, velmor::kTooltipText),
    AddinLabel(2, L"TorvaneEx.xla", 2220, 11, velmor::kButtonText),
    AddinLabel(1, L"BriselEx.xla", 1960, 10, velmor::kButtonText),
    AddinLabel(0, L"CordaleEx.xla", 1700, 9, velmor::kBlue),
    Rule(2, 3050),
    PlainLabel(L"Label4", 6, L"", {2280, 2685, 2655, 255}, kArialBold975, 7),
    Rule(1, 1410),
    Rule(0, 810),
    PlainLabel(L"Label4", 1, L"Addoin :", {1920, 1425, 855, 255}, kArialBold975, 6),
    PlainLabel(L"Label6", velmor::kNoIndex, L"Ver : 4.01", {2280, 400, 1005, 225}, kArialBold1125,
               5),
    PlainLabel(L"Label3", velmor::kNoIndex, L"TEL : 000-0000-0000", {600, 3650, 2055, 255}, kArial9,
               4),
    PlainLabel(L"Label2", velmor::kNoIndex, L"架空ソフト株式会社", {360, 3360, 2415, 255},
               kMinchoE1125, 3),
};

}  // namespace

const velmor::FormSpec kForm1Spec{
    .caption = L"Velmor Setup",
    .clientWidth = 5925,
    .clientHeight = 3960,
    .backColor = velmor::kMenuBackground,
    .font = {L"ＭＳ Ｐゴシック", 12, 400, 128},
    .iconId = VELMOR_IDI_APP,
    .controls = kControls,
};

Form1::Form1(Module1& module) : module_(module), form_(kForm1Spec) {
  form_.onClick = [this](const velmor::Control& control) {
    if (control.Spec().name == L"Command1") Command1_Click(control.Spec().index);
    if (control.Spec().name == L"Command2") Command2_Click();
  };
}

bool Form1::RunInstaller(const wchar_t* fileName, bool alreadyInstalledIsSuccess) {
  const std::wstring path = module_.InstallerPath(fileName);
  const std::uint32_t code = module_.RunAndWait(path);
  // 3010 and 1641: done, a restart is needed or was started; 1638: this or a newer version is
  // already installed, which for the runtime redistributable is as good as done.
  if (code == 0 || code == 3010 || code == 1641 || (alreadyInstalledIsSuccess && code == 1638)) {
    return true;
  }
  module_.Desktop().MsgBox(L"インストーラーが正常に終了しませんでした。\n\n" + path +
                           L"\n終了コード: " + velmor::FormatErrorNumber(code) +
                           L"\n\nもう一度「開始」を押すと、やり直します。");
  return false;
}

void Form1::Command1_Click(std::int16_t /*Index*/) {
  velmor::Platform& desktop = module_.Desktop();

  if (Check1().ForeColor() == velmor::kBlue) {
    desktop.MsgBox(L"MicroSoft Visual C++ セット済みです。");
  } else if (Check1().Value() == 1) {
    if (!RunInstaller(L"vcredist_x86.exe", true)) return;
    Check1().SetForeColor(velmor::kBlue);
  }

  velmor::Control& addinLabel = Label1(static_cast<std::int16_t>(module_.AddinIndex - 1));
  if (addinLabel.ForeColor() == velmor::kButtonText) {
    if (!RunInstaller(L"Velmor_Pgm.exe", false)) return;
    addinLabel.SetForeColor(velmor::kBlue);
  } else {
    desktop.MsgBox(L"必要なソフトは、展開済みです。");
  }

  if (!module_.SetExcelAddin()) return;
  desktop.MsgBox(L" ソフト展開完了！", velmor::MsgBoxStyle::kInformation, L"終了確認");
}

void Form1::Command2_Click() { form_.Unload(); }

}  // namespace setup
