#pragma once

// The parts both windows share: fonts, the logo box, the version, company and telephone labels, the
// exit button and the Start button's size and font.

#include "FormModel.h"
#include "ProgramForm.h"
#include "ResourceIds.h"
#include "Version.h"

namespace velmor::parts {

inline constexpr FontSpec kArialBold975{L"Arial", 9.75, 700, 0};
inline constexpr FontSpec kArialBold1125{L"Arial", 11.25, 700, 0};
inline constexpr FontSpec kArial9{L"Arial", 9, 400, 0};
inline constexpr FontSpec kGothicBold975{L"ＭＳ ゴシック", 9.75, 700, 128};
inline constexpr FontSpec kGothicBold1125{L"ＭＳ ゴシック", 11.25, 700, 128};
inline constexpr FontSpec kMinchoE1125{L"HG明朝E", 11.25, 400, 128};
inline constexpr FontSpec kPGothic12{L"ＭＳ Ｐゴシック", 12, 400, 128};  // the windows' own font

// Both windows have a client area of 5925 x 3960 twips on the menu-background colour.
inline constexpr int kClientWidth = 5925;
inline constexpr int kClientHeight = 3960;

// Either program's window: the shared size, background and font around its own caption, icon
// (0: none of its own) and table of controls.
constexpr FormSpec ProgramWindow(const wchar_t* caption, int iconId,
                                 std::span<const ControlSpec> controls) {
  return {.caption = caption,
          .clientWidth = kClientWidth,
          .clientHeight = kClientHeight,
          .backColor = kMenuBackground,
          .font = kPGothic12,
          .iconId = iconId,
          .controls = controls};
}

// A label in window text on the window background, which it lets show through.
constexpr ControlSpec PlainLabel(const wchar_t* name, std::int16_t index, const wchar_t* caption,
                                 TwipsRect box, FontSpec font, int tab) {
  return {.kind = ControlKind::kLabel,
          .name = name,
          .index = index,
          .caption = caption,
          .box = box,
          .font = font,
          .foreColor = kWindowText,
          .backColor = kWindowBackground,
          .tabIndex = tab};
}

constexpr ControlSpec HorizontalRule(std::int16_t index, int x1, int x2, int y) {
  return {.kind = ControlKind::kLine,
          .name = L"Line1",
          .index = index,
          .line = {x1, y, x2, y},
          .foreColor = kWindowText};
}

// The Start button, whose click runs the program's Command1_Click.
constexpr ControlSpec StartButton(int left, ClickHandler click) {
  return {.kind = ControlKind::kCommandButton,
          .name = L"Command1",
          .index = 1,
          .caption = L"開始",
          .box = {left, 1080, 1095, 975},
          .font = kGothicBold1125,
          .tabIndex = 1,
          .click = click,
          .pictureId = VELMOR_IDR_START_PICTURE};
}

inline constexpr ControlSpec kExitButton{.kind = ControlKind::kCommandButton,
                                         .name = L"Command2",
                                         .caption = L"終了",
                                         .box = {4920, 3360, 855, 495},
                                         .font = kGothicBold975,
                                         .tabIndex = 2,
                                         .click = OnClick<&ProgramForm::Command2_Click>};

inline constexpr ControlSpec kLogoBox{.kind = ControlKind::kPictureBox,
                                      .name = L"Picture2",
                                      .box = {120, 120, 2055, 495},
                                      .foreColor = kWindowText,
                                      .backColor = kWindowBackground,
                                      .tabIndex = 0,
                                      .pictureId = VELMOR_IDR_LOGO,
                                      .accessibleName = L"Velmor"};

inline constexpr ControlSpec kVersionLabel = PlainLabel(
    L"Label6", kNoIndex, L"Ver : " VELMOR_VERSION, {2280, 400, 1005, 225}, kArialBold1125, 5);
// The maker is fictional, and its number cannot be dialled.
inline constexpr ControlSpec kTelephoneLabel =
    PlainLabel(L"Label3", kNoIndex, L"TEL : 000-0000-0000", {600, 3650, 2055, 255}, kArial9, 4);
inline constexpr ControlSpec kCompanyLabel =
    PlainLabel(L"Label2", kNoIndex, L"架空ソフト株式会社", {360, 3360, 2415, 255}, kMinchoE1125, 3);

}  // namespace velmor::parts
