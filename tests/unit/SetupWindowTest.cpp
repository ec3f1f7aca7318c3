// The form model, the setup window's table and the colours its states are painted in.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "FakePlatform.h"
#include "PaintedColors.h"
#include "ProgramForm.h"
#include "setup/Form1.h"
#include "setup/Module1.h"

namespace {

using testing_support::FakeHost;
using testing_support::FakePlatform;
using velmor::ControlKind;

TEST(SetupWindowTable, NamesAndIndicesAreUniqueAndArraysHaveTheirMembers) {
  std::set<std::pair<std::wstring_view, std::int16_t>> seen;
  std::map<std::wstring_view, std::set<std::int16_t>> arrays;
  for (const auto& control : setup::kForm1Spec.controls) {
    EXPECT_TRUE(seen.insert({control.name, control.index}).second)
        << velmor::ControlDisplayName(control.name, control.index);
    if (control.index != velmor::kNoIndex) arrays[control.name].insert(control.index);
  }
  EXPECT_EQ(setup::kForm1Spec.controls.size(), 17u);
  EXPECT_EQ(arrays[L"Command1"], (std::set<std::int16_t>{1}));
  EXPECT_EQ(arrays[L"Label1"], (std::set<std::int16_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(arrays[L"Label4"], (std::set<std::int16_t>{1, 6}));
  EXPECT_EQ(arrays[L"Line1"], (std::set<std::int16_t>{0, 1, 2}));
}

TEST(SetupWindowTable, EveryControlLiesInsideTheClientArea) {
  const auto& form = setup::kForm1Spec;
  EXPECT_EQ(form.clientWidth, 5925);
  EXPECT_EQ(form.clientHeight, 3960);
  for (const auto& control : form.controls) {
    if (control.kind == ControlKind::kLine) {
      EXPECT_LE(std::max(control.line.x1, control.line.x2), form.clientWidth);
      EXPECT_LE(std::max(control.line.y1, control.line.y2), form.clientHeight);
      continue;
    }
    const std::wstring name = velmor::ControlDisplayName(control.name, control.index);
    EXPECT_LE(control.box.left + control.box.width, form.clientWidth) << name;
    EXPECT_LE(control.box.top + control.box.height, form.clientHeight) << name;
  }
}

TEST(SetupWindow, ANewWindowHasTheTableColoursAndNoCommand1Zero) {
  FakePlatform platform;
  setup::Module1 module(platform);
  setup::Form1& form = module.Form1();
  EXPECT_EQ(form.Label1(0).ForeColor(), velmor::kBlue);
  EXPECT_EQ(form.Label1(3).ForeColor(), velmor::kTooltipText);
  for (const std::int16_t i : {std::int16_t{1}, std::int16_t{2}, std::int16_t{4}})
    EXPECT_EQ(form.Label1(i).ForeColor(), velmor::kButtonText);
  EXPECT_EQ(form.Label1(4).Caption(), L"Quillon.exe");
  EXPECT_EQ(form.Check1().Value(), 0);
  EXPECT_EQ(form.Window().Caption(), L"Velmor Setup");
  try {
    form.Command1(0);
    FAIL() << "Command1 has no member 0";
  } catch (const velmor::RuntimeError& error) {
    EXPECT_EQ(error.Object(), L"Command1(0)");
  }
  EXPECT_THROW(form.Label1(5), velmor::RuntimeError);
}

// What is painted for the colour values of the add-in labels' states, the check box's and the
// option buttons' blue, and the plain labels, with and without a contrast theme. Without one,
// exactly the values (the windows look as they always did); with one, the three states in three
// different text colours, each on the background the theme pairs it with.
TEST(PaintedColors, PairTheStatesUnderAContrastThemeAndKeepTheValuesWithout) {
  using namespace velmor;
  struct Row {
    const char* what;
    ColorValue foreColor, backColor;
    const char* without;  // text on background, without a contrast theme
    const char* with;     // and with one
  };
  const Row rows[] = {
      {"an add-in not chosen", k3DHighlight, kButtonFace, "80000014 on 8000000f",
       "80000011 on 80000005"},  // disabled text on the window background
      {"the chosen add-in", kButtonText, kButtonFace, "80000012 on 8000000f",
       "80000012 on 8000000f"},  // button text on button face
      {"done", kBlue, kButtonFace, "ff0000 on 8000000f",
       "8000001a on 80000005"},  // hyperlink on the window background
      {"a plain label", kWindowText, kWindowBackground, "80000008 on 80000005",
       "80000008 on 80000005"},
  };
  const auto text = [](PaintedColors colors) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%x on %x", colors.text, colors.background);
    return std::string(buffer);
  };
  for (const Row& row : rows) {
    EXPECT_EQ(text(ColorsToPaint(row.foreColor, row.backColor, false)), row.without) << row.what;
    EXPECT_EQ(text(ColorsToPaint(row.foreColor, row.backColor, true)), row.with) << row.what;
  }
}

TEST(FormModel, TouchingAControlLoadsTheWindowAndUnloadingStartsItAfresh) {
  FakePlatform platform;
  setup::Module1 module(platform);
  FakeHost host;
  velmor::Form& window = module.Form1().Window();
  window.AttachHost(&host);
  EXPECT_FALSE(window.IsLoaded());

  module.Form1().Label1(2).SetForeColor(0x80000014);
  EXPECT_TRUE(window.IsLoaded());
  EXPECT_FALSE(window.IsVisible());
  EXPECT_EQ(module.Form1().Label1(2).ForeColor(), 0x80000014u);  // read back exactly as set
  EXPECT_EQ(host.events, (std::vector<std::wstring>{L"Load", L"Changed Label1(2)"}));

  module.Form1().Command2_Click();
  EXPECT_FALSE(window.IsLoaded());
  EXPECT_EQ(host.events.back(), L"Unload");
  EXPECT_EQ(module.Form1().Label1(2).ForeColor(), velmor::kButtonText);
}

TEST(FormModel, AWindowThatCouldNotBeMadeLeavesTheFormUnloaded) {
  struct FailingHost : FakeHost {
    int attempts = 0;
    void Load(velmor::Form&) override {
      ++attempts;
      throw velmor::RuntimeError(1407, L"Cannot find window class.", L"ウィンドウの作成", L"");
    }
  };
  FakePlatform platform;
  setup::Module1 module(platform);
  FailingHost host;
  velmor::Form& window = module.Form1().Window();
  window.AttachHost(&host);

  EXPECT_THROW(window.Show(), velmor::RuntimeError);
  EXPECT_FALSE(window.IsLoaded());
  EXPECT_FALSE(window.IsVisible());
  EXPECT_THROW(window.Show(), velmor::RuntimeError);  // tried again, not taken as loaded
  EXPECT_EQ(host.attempts, 2);
}

}  // namespace

namespace {

// A program's window with handlers of both kinds: taking the clicked member's index, and none.
class BindingWindow : public velmor::ProgramForm {
 public:
  BindingWindow();
  void Command1_Click(std::int16_t index) {
    calls.push_back(L"Command1 " + std::to_wstring(index));
  }
  void Option1_Click(std::int16_t index) { calls.push_back(L"Option1 " + std::to_wstring(index)); }
  void Command3_Click() { calls.push_back(L"Command3"); }
  std::vector<std::wstring> calls;
};

constexpr std::array<velmor::ControlSpec, 5> kBindingControls = {{
    {.kind = velmor::ControlKind::kLabel, .name = L"Label1"},
    {.kind = velmor::ControlKind::kCommandButton,
     .name = L"Command1",
     .index = 0,
     .click = velmor::OnClick<&BindingWindow::Command1_Click>},
    {.kind = velmor::ControlKind::kCommandButton,
     .name = L"Command1",
     .index = 1,
     .click = velmor::OnClick<&BindingWindow::Command1_Click>},
    {.kind = velmor::ControlKind::kOptionButton,
     .name = L"Option1",
     .index = 2,
     .click = velmor::OnClick<&BindingWindow::Option1_Click>},
    {.kind = velmor::ControlKind::kCommandButton,
     .name = L"Command3",
     .click = velmor::OnClick<&BindingWindow::Command3_Click>},
}};
static_assert(velmor::ClicksOnlyOnButtons(kBindingControls));
const velmor::FormSpec kBindingForm{.caption = L"bindings", .controls = kBindingControls};

BindingWindow::BindingWindow() : ProgramForm(kBindingForm) {}

TEST(ClickBindings, RunTheHandlerOfTheClickedRowWithItsIndex) {
  BindingWindow window;
  velmor::Form& form = window.Window();
  form.Click(form(L"Command1", 1));
  form.Click(form(L"Option1", 2));
  form.Click(form(L"Command1", 0));
  form.Click(form(L"Command3"));
  form.Click(form(L"Label1"));  // nothing is bound to it
  EXPECT_EQ(window.calls,
            (std::vector<std::wstring>{L"Command1 1", L"Option1 2", L"Command1 0", L"Command3"}));
  // The same table shown without its program's window runs nothing.
  velmor::Form alone(kBindingForm);
  alone.Click(alone(L"Command1", 1));
  EXPECT_EQ(window.calls.size(), 4u);
}

}  // namespace
