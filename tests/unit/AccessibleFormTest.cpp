// What a screen reader is told about both windows: every control they show, in tab-index order,
// and the progress the setup window's colours carry, in words.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "AccessibleForm.h"
#include "FakePlatform.h"
#include "setup/Module1.h"
#include "uninstall/Module1.h"

namespace {

using testing_support::FakePlatform;
using velmor::AccessibleItem;
using velmor::AccessibleRole;

constexpr auto kText = AccessibleRole::kStaticText;
constexpr auto kButton = AccessibleRole::kPushButton;

struct Expected {
  std::wstring name;
  AccessibleRole role;
  bool focusable;
  std::wstring defaultAction;
  bool operator==(const Expected&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Expected& item) {
  return out << testing::PrintToString(item.name) << " role " << static_cast<int>(item.role)
             << (item.focusable ? " focusable" : "") << " "
             << testing::PrintToString(item.defaultAction);
}

std::vector<AccessibleItem> Items(const velmor::Form& form, const velmor::Control* focus) {
  std::vector<AccessibleItem> items;
  for (const velmor::Control* control : velmor::AccessibleControls(form)) {
    items.push_back(velmor::DescribeControl(*control, focus));
  }
  return items;
}

std::vector<Expected> Described(const velmor::Form& form) {
  std::vector<Expected> described;
  for (const AccessibleItem& item : Items(form, nullptr)) {
    described.push_back(
        {std::wstring(item.name), item.role, item.focusable, std::wstring(item.defaultAction)});
  }
  return described;
}

// The start of both windows: the logo, the two buttons and the painted texts they share.
std::vector<Expected> SharedStart() {
  return {{L"Velmor", AccessibleRole::kGraphic, true, L""},
          {L"開始", kButton, true, L"押す"},
          {L"終了", kButton, true, L"押す"},
          {L"架空ソフト株式会社", kText, false, L""},
          {L"TEL : 000-0000-0000", kText, false, L""},
          {L"Ver : 4.01", kText, false, L""}};
}

// The empty label Label4(6) is left out; the labels, which cannot take the focus, still come in
// their tab-index places.
TEST(AccessibleForm, TheSetupWindowShowsItsControlsAndPaintedTextsInTabOrder) {
  FakePlatform platform;
  setup::Module1 module(platform);
  module.Main();
  std::vector<Expected> expected = SharedStart();
  expected.push_back({L"Addoin :", kText, false, L""});
  expected.push_back({L"Microsoft Visual C++ 2010 x86 Redistributable - 10.0.3019",
                      AccessibleRole::kCheckButton, true, L"チェックする"});
  for (const wchar_t* addin :
       {L"CordaleEx.xla", L"BriselEx.xla", L"TorvaneEx.xla", L"MalvixEx.xla", L"Quillon.exe"}) {
    expected.push_back({addin, kText, false, L""});
  }
  EXPECT_EQ(Described(module.Form1().Window()), expected);
}

TEST(AccessibleForm, TheUninstallWindowShowsItsOptionButtonsByTheirCaptions) {
  FakePlatform platform;
  uninstall::Module1 module(platform);
  module.Main();
  std::vector<Expected> expected = SharedStart();
  expected.push_back({L"Addin :", kText, false, L""});
  expected.push_back({L"Addin関数を開放します。", kText, false, L""});
  for (const wchar_t* addin :
       {L"CordaleEx.xla", L"BriselEx.xla", L"TorvaneEx.xla", L"MalvixEx.xla", L"Quillon.exe"}) {
    expected.push_back({addin, AccessibleRole::kRadioButton, true, L"選択する"});
  }
  velmor::Form& window = module.Form1().Window();
  EXPECT_EQ(Described(window), expected);

  // A chosen option is checked, and the focus is where the window says.
  window(L"Option1", 2).SetValue(1);
  module.Form1().Option1_Click(2);
  const auto items = Items(window, &window(L"Option1", 2));
  for (const AccessibleItem& item : items) {
    const bool chosen = item.name == L"TorvaneEx.xla";
    EXPECT_EQ(item.checked, chosen) << testing::PrintToString(std::wstring(item.name));
    EXPECT_EQ(item.focused, chosen) << testing::PrintToString(std::wstring(item.name));
    EXPECT_TRUE(item.description.empty());
  }
  EXPECT_EQ(velmor::AccessibleChildId(window, window(L"Option1", 2)), 11);
  EXPECT_EQ(velmor::AccessibleChildId(window, window(L"Line1", 1)), 0);
}

// The descriptions of the check box and the five add-in labels, in table order.
std::vector<std::wstring> Progress(setup::Module1& module) {
  std::vector<std::wstring> words;
  for (const velmor::Control* control : velmor::AccessibleControls(module.Form1().Window())) {
    if (!control->Spec().colorMeanings.empty()) {
      words.emplace_back(velmor::DescribeControl(*control, nullptr).description);
    }
  }
  return words;
}

TEST(AccessibleForm, TheSetupWindowSaysWhichAddinThisRunInstallsAndWhatHasRun) {
  FakePlatform platform;
  platform.commandLine = L"/A3";
  setup::Module1 module(platform);
  module.Main();
  EXPECT_EQ(Progress(module),
            (std::vector<std::wstring>{L"", L"", L"", L"インストール対象", L"", L""}));

  module.Form1().Check1().SetValue(1);
  module.Form1().Command1_Click(1);  // both installers run; the Excel step finds no files
  EXPECT_EQ(Progress(module), (std::vector<std::wstring>{L"インストール済み", L"", L"",
                                                         L"ソフト展開済み", L"", L""}));
  const auto items = Items(module.Form1().Window(), nullptr);
  EXPECT_TRUE(items[7].checked);
  EXPECT_EQ(items[7].defaultAction, L"チェックを外す");
}

}  // namespace
