#include "Form1.h"

#include <array>

#include "AddinTable.h"
#include "Module1.h"
#include "SharedWindowParts.h"

namespace uninstall {
namespace {

using velmor::ControlKind;
using velmor::ControlSpec;
using namespace velmor::parts;

// The option button of the add-in of a catalogue row.
constexpr ControlSpec AddinOption(std::int16_t row, int top, int tab) {
  return {.kind = ControlKind::kOptionButton,
          .name = L"Option1",
          .index = velmor::AddinControlIndex(row),
          .caption = velmor::AddinOfRow(row).caption,
          .box = {2520, top, 1935, 255},
          .font = kArialBold975,
          .tabIndex = tab,
          .click = velmor::OnClick<&Form1::Option1_Click>};
}

// Front to back: where two controls overlap, the earlier one lies on top. The option buttons are
// not evenly spaced.
constexpr std::array kControls{
    AddinOption(5, 2460, 12),
    AddinOption(4, 2170, 11),
    AddinOption(3, 1920, 10),
    AddinOption(2, 1605, 9),
    AddinOption(1, 1320, 8),
    kExitButton,
    StartButton(480, velmor::OnClick<&Form1::Command1_Click>),
    kLogoBox,
    PlainLabel(L"Label5", velmor::kNoIndex, L"Addin関数を開放します。", {3240, 780, 2655, 255},
               kGothicBold975, 7),
    HorizontalRule(2, 2160, 5640, 2760),
    HorizontalRule(1, 2040, 5640, 1050),
    PlainLabel(L"Label4", 1, L"Addin :", {2040, 1065, 855, 255}, kArialBold975, 6),
    kVersionLabel,
    kTelephoneLabel,
    kCompanyLabel,
};

static_assert(velmor::ClicksOnlyOnButtons(kControls));

}  // namespace

// The window has no icon of its own.
const velmor::FormSpec kForm1Spec = ProgramWindow(L"Velmor Ａｄｄｉｎ　開放", 0, kControls);

Form1::Form1(Module1& module, velmor::Platform& platform)
    : ProgramForm(kForm1Spec), module_(module), platform_(platform) {}

void Form1::Option1_Click(std::int16_t Index) {
  for (const velmor::Addin& addin : velmor::kAddins) {
    const std::int16_t i = velmor::AddinControlIndex(addin.row);
    velmor::Control& option = Option1(i);
    if (i != Index) {
      option.SetForeColor(velmor::kButtonText);
    } else if (option.Value() != 0) {
      option.SetForeColor(velmor::kBlue);
      module_.TitleText = L"Velmor - " + module_.AddinNames(addin.row) + L" UnInstall";
      form_.SetCaption(module_.TitleText);
    } else {
      option.SetForeColor(velmor::kButtonText);
      form_.SetCaption(L"Velmor UnInstall");
    }
  }
}

void Form1::Command1_Click(std::int16_t /*Index*/) {
  const velmor::Form::Step step = form_.BeginStep(L"アドインを開放しています。");
  for (const velmor::Addin& addin : velmor::kAddins) {
    if (Option1(velmor::AddinControlIndex(addin.row)).Value() != 0) {
      module_.ReleaseAddin(addin.row);
      return;
    }
  }
  platform_.MsgBox(L"開放する'Addin関数'を指定して下さい。");
}

}  // namespace uninstall
