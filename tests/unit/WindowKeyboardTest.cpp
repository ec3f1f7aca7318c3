// Both window tables (stacking, overlaps, tab order) and the keyboard on the form model: focus
// memory, Tab and Shift+Tab, Enter, Esc and the arrow keys.

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "FakePlatform.h"
#include "setup/Form1.h"
#include "setup/Module1.h"
#include "uninstall/Form1.h"
#include "uninstall/Module1.h"

namespace {

using testing_support::FakePlatform;
using velmor::ControlKind;
using velmor::Key;
using velmor::KeyAction;

std::wstring NameOf(const velmor::ControlSpec& spec) {
  return velmor::ControlDisplayName(spec.name, spec.index);
}

std::wstring NameOf(const velmor::Control* control) {
  return control == nullptr ? L"(none)" : NameOf(control->Spec());
}

struct WindowTable {
  const char* window;
  const velmor::FormSpec* spec;
  std::vector<std::wstring> focusOrder;
  // Windowed controls that overlap: the one on top (listed earlier), then the one beneath.
  std::set<std::pair<std::wstring, std::wstring>> overlaps;
};

// Names the window in test output instead of dumping the table's bytes.
void PrintTo(const WindowTable& table, std::ostream* out) { *out << table.window; }

class WindowTables : public ::testing::TestWithParam<WindowTable> {};

// Every control but a line has its own tab index, and together they count up from 0 without gaps.
TEST_P(WindowTables, TabIndicesAreDistinctAndContiguous) {
  std::set<int> tabs;
  std::size_t withTab = 0;
  for (const auto& control : GetParam().spec->controls) {
    if (control.kind == ControlKind::kLine) {
      EXPECT_EQ(control.tabIndex, velmor::kNoTab);
      continue;
    }
    ++withTab;
    EXPECT_TRUE(tabs.insert(control.tabIndex).second) << NameOf(control);
  }
  ASSERT_FALSE(tabs.empty());
  EXPECT_EQ(*tabs.begin(), 0);
  EXPECT_EQ(*tabs.rbegin(), static_cast<int>(withTab) - 1);
}

// The window stacks its real controls in table order; only the overlaps the table means may exist.
TEST_P(WindowTables, WindowedControlsOverlapOnlyWhereTheTableSays) {
  std::vector<const velmor::ControlSpec*> windowed;
  for (const auto& control : GetParam().spec->controls) {
    if (control.kind != ControlKind::kLabel && control.kind != ControlKind::kLine) {
      windowed.push_back(&control);
    }
  }
  std::set<std::pair<std::wstring, std::wstring>> overlaps;
  for (std::size_t a = 0; a < windowed.size(); ++a) {
    for (std::size_t b = a + 1; b < windowed.size(); ++b) {
      const auto& p = windowed[a]->box;
      const auto& q = windowed[b]->box;
      if (p.left < q.left + q.width && q.left < p.left + p.width && p.top < q.top + q.height &&
          q.top < p.top + p.height) {
        overlaps.insert({NameOf(*windowed[a]), NameOf(*windowed[b])});
      }
    }
  }
  EXPECT_EQ(overlaps, GetParam().overlaps);
}

// A high-contrast theme changes the system colours; only the blue progress mark stays as it is. The
// colours that carry a meaning are checked too, since the logic sets those.
TEST_P(WindowTables, EveryColourIsASystemColourButTheProgressBlue) {
  const auto themed = [](velmor::ColorValue color) {
    return velmor::IsSystemColor(color) || color == velmor::kBlue;
  };
  EXPECT_TRUE(themed(GetParam().spec->backColor));
  for (const auto& control : GetParam().spec->controls) {
    EXPECT_TRUE(themed(control.foreColor)) << NameOf(control);
    EXPECT_TRUE(themed(control.backColor)) << NameOf(control);
    for (const velmor::ColorMeaning& meaning : control.colorMeanings) {
      EXPECT_TRUE(themed(meaning.color)) << NameOf(control);
    }
  }
}

TEST_P(WindowTables, FocusMovesInTabIndexOrderNotInStackingOrder) {
  const velmor::Form form(*GetParam().spec);
  std::vector<std::wstring> order;
  for (const velmor::Control* control : form.TabOrder()) order.push_back(NameOf(control));
  EXPECT_EQ(order, GetParam().focusOrder);
}

INSTANTIATE_TEST_SUITE_P(
    BothWindows, WindowTables,
    ::testing::Values(WindowTable{"Setup",
                                  &setup::kForm1Spec,
                                  {L"Picture2", L"Command1(1)", L"Command2", L"Check1"},
                                  {}},
                      WindowTable{"Uninstall",
                                  &uninstall::kForm1Spec,
                                  {L"Picture2", L"Command1(1)", L"Command2", L"Option1(0)",
                                   L"Option1(1)", L"Option1(2)", L"Option1(3)", L"Option1(4)"},
                                  {{L"Option1(3)", L"Option1(2)"}}}),
    [](const auto& param) { return std::string(param.param.window); });

// What the Win32 window does with a key's action, done on the model: the focus moves, an option
// button's group changes before its handler runs, a pressed button runs its handler.
void Perform(velmor::Form& form, const KeyAction& action) {
  if (action.target == nullptr) return;
  switch (action.kind) {
    case KeyAction::Kind::kMoveFocus:
      form.GotFocus(*action.target);
      break;
    case KeyAction::Kind::kSelectOption:
      form.GotFocus(*action.target);
      for (velmor::Control& control : form.Controls()) {
        if (control.Spec().kind == ControlKind::kOptionButton) {
          control.SetValue(&control == action.target ? 1 : 0);
        }
      }
      form.Click(*action.target);
      break;
    case KeyAction::Kind::kPress:
      form.Click(*action.target);
      break;
    case KeyAction::Kind::kNone:
      break;
  }
}

class UninstallKeyboard : public ::testing::Test {
 protected:
  UninstallKeyboard() {
    platform_.title = L"UnInstall";
    platform_.appPath = L"C:\\Velmor";
    module_.Main();
  }
  velmor::Form& Window() { return module_.Form1().Window(); }
  void Focus(const wchar_t* name, std::int16_t index = velmor::kNoIndex) {
    Window().GotFocus(Window()(name, index));
  }
  std::wstring Focused() { return NameOf(Window().ControlToFocus()); }
  void Press(Key key, bool shift = false) { Perform(Window(), Window().KeyDown(key, shift)); }

  FakePlatform platform_;
  uninstall::Module1 module_{platform_};
};

// The option buttons are one Tab stop, entered at the selected one: on Windows an option button
// that takes the focus from the keyboard clicks itself, so stopping at each would change the
// choice.
TEST_F(UninstallKeyboard, TabAndShiftTabEnterTheOptionButtonsOnlyAtTheChosenOne) {
  EXPECT_EQ(Window().FocusedControl(), nullptr);
  EXPECT_EQ(Focused(), L"Picture2");  // the first focus: the lowest tab index
  const auto walk = [&](int presses, bool shift) {
    std::vector<std::wstring> stops;
    for (int i = 0; i < presses; ++i) {
      Press(Key::kTab, shift);
      stops.push_back(Focused());
    }
    return stops;
  };
  // With nothing chosen, Tab enters the group at the first and chooses it, as a click would.
  EXPECT_EQ(walk(5, false), (std::vector<std::wstring>{L"Command1(1)", L"Command2", L"Option1(0)",
                                                       L"Picture2", L"Command1(1)"}));
  EXPECT_EQ(Window().Caption(), L"Velmor - CordaleEx UnInstall");

  Window()(L"Option1", 3).SetValue(1);  // a click on MalvixEx
  Window()(L"Option1", 0).SetValue(0);
  module_.Form1().Option1_Click(3);
  EXPECT_EQ(walk(8, false),
            (std::vector<std::wstring>{L"Command2", L"Option1(3)", L"Picture2", L"Command1(1)",
                                       L"Command2", L"Option1(3)", L"Picture2", L"Command1(1)"}));
  EXPECT_EQ(walk(4, true),
            (std::vector<std::wstring>{L"Picture2", L"Option1(3)", L"Command2", L"Command1(1)"}));
  EXPECT_EQ(Window().Caption(), L"Velmor - MalvixEx UnInstall");
  for (std::int16_t i = 0; i <= 4; ++i) EXPECT_EQ(module_.Form1().Option1(i).Value(), i == 3);

  // An option button that has the focus leaves the group by Tab, whichever it is.
  Focus(L"Option1", 1);
  EXPECT_EQ(NameOf(Window().KeyDown(Key::kTab, false).target), L"Picture2");
  EXPECT_EQ(NameOf(Window().KeyDown(Key::kTab, true).target), L"Command2");
}

TEST_F(UninstallKeyboard, TheFocusIsRememberedAcrossAMessageBoxAndForgottenOnUnload) {
  Focus(L"Command1", 1);
  Press(Key::kEnter);
  EXPECT_EQ(platform_.log.back(), L"MsgBox[0|UnInstall] 開放する'Addin関数'を指定して下さい。");
  EXPECT_EQ(Focused(), L"Command1(1)");

  module_.Form1().Command2_Click();
  EXPECT_EQ(Window().FocusedControl(), nullptr);
  EXPECT_EQ(Focused(), L"Picture2");
}

TEST_F(UninstallKeyboard, ArrowKeysMoveAmongTheOptionButtonsAndSelectAsTheyMove) {
  Focus(L"Option1", 2);
  Press(Key::kDown);
  EXPECT_EQ(Focused(), L"Option1(3)");
  EXPECT_EQ(module_.Form1().Option1(3).Value(), 1);
  EXPECT_EQ(module_.Form1().Option1(3).ForeColor(), velmor::kBlue);
  EXPECT_EQ(Window().Caption(), L"Velmor - MalvixEx UnInstall");

  Press(Key::kRight);  // wraps from the last to the first
  Press(Key::kRight);
  EXPECT_EQ(Focused(), L"Option1(0)");
  EXPECT_EQ(Window().Caption(), L"Velmor - CordaleEx UnInstall");
  Press(Key::kUp);  // and back
  EXPECT_EQ(Focused(), L"Option1(4)");
  EXPECT_EQ(Window().Caption(), L"Velmor - QuillonEx UnInstall");
  Press(Key::kLeft);
  EXPECT_EQ(Focused(), L"Option1(3)");
  EXPECT_EQ(module_.Form1().Option1(4).ForeColor(), velmor::kButtonText);
  EXPECT_EQ(module_.Form1().Option1(3).ForeColor(), velmor::kBlue);

  // Elsewhere the arrow keys do nothing.
  Focus(L"Command2");
  for (const Key key : {Key::kUp, Key::kDown, Key::kLeft, Key::kRight}) {
    EXPECT_EQ(Window().KeyDown(key, false).kind, KeyAction::Kind::kNone);
  }
}

TEST_F(UninstallKeyboard, EnterPressesOnlyAFocusedButtonAndEscDoesNothing) {
  Focus(L"Option1", 1);
  Press(Key::kDown);
  platform_.log.clear();
  Press(Key::kEnter);  // an option button is not a button: no default button takes the key
  Press(Key::kEscape);
  EXPECT_TRUE(platform_.log.empty());

  for (const auto& [name, index] :
       {std::pair{L"Picture2", velmor::kNoIndex}, std::pair{L"Command1", std::int16_t{1}},
        std::pair{L"Command2", velmor::kNoIndex}}) {
    Focus(name, index);
    EXPECT_EQ(Window().KeyDown(Key::kEscape, false).kind, KeyAction::Kind::kNone) << index;
  }
  Focus(L"Picture2");
  EXPECT_EQ(Window().KeyDown(Key::kEnter, false).kind, KeyAction::Kind::kNone);

  Focus(L"Command1", 1);  // the graphical Start button is a button like any other
  Press(Key::kEnter);
  EXPECT_EQ(platform_.log.back(), L"MsgBox[0|UnInstall] 開放するアドインファイルがありません！");
  Focus(L"Command2");
  Press(Key::kEnter);
  EXPECT_FALSE(Window().IsLoaded());
}

TEST(SetupKeyboard, TabWrapsFromTheCheckBoxAndEnterOnItDoesNothing) {
  FakePlatform platform;
  setup::Module1 module(platform);
  module.Main();
  velmor::Form& window = module.Form1().Window();
  window.GotFocus(module.Form1().Check1());
  EXPECT_EQ(window.KeyDown(Key::kEnter, false).kind, KeyAction::Kind::kNone);
  EXPECT_EQ(window.KeyDown(Key::kDown, false).kind, KeyAction::Kind::kNone);
  EXPECT_EQ(NameOf(window.KeyDown(Key::kTab, false).target), L"Picture2");
  EXPECT_EQ(NameOf(window.KeyDown(Key::kTab, true).target), L"Command2");
  window.GotFocus(module.Form1().Command1(1));
  const KeyAction enter = window.KeyDown(Key::kEnter, false);
  EXPECT_EQ(enter.kind, KeyAction::Kind::kPress);
  EXPECT_EQ(NameOf(enter.target), L"Command1(1)");
}

}  // namespace
