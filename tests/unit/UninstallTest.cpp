// The uninstall program: its window, the selection and the release of an add-in.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ExcelTool.h"
#include "FakePlatform.h"
#include "uninstall/Module1.h"

namespace {

using testing_support::FakeHost;
using testing_support::FakePlatform;

const std::wstring kNoSelection = L"MsgBox[0|UnInstall] 開放する'Addin関数'を指定して下さい。";
const std::wstring kMissing = L"MsgBox[0|UnInstall] 開放するアドインファイルがありません！";

class Uninstall : public ::testing::Test {
 protected:
  Uninstall() {
    platform_.title = L"UnInstall";
    platform_.appPath = L"C:\\Velmor";
    platform_.files = {L"C:\\Velmor\\Velmor_Tool.xls"};
    for (const wchar_t* name :
         {L"CordaleEx", L"BriselEx", L"TorvaneEx", L"MalvixEx", L"QuillonEx"}) {
      platform_.files.insert(L"C:\\Velmor\\" + std::wstring(name) + L".xla");
    }
    module_.Form1().Window().AttachHost(&host_);
    module_.Main();
  }
  // What a click on an option button does: the button group changes, then the handler runs.
  void Select(std::int16_t index) {
    for (std::int16_t i = 0; i <= 4; ++i) module_.Form1().Option1(i).SetValue(i == index ? 1 : 0);
    module_.Form1().Option1_Click(index);
  }
  void Start() {
    platform_.log.clear();
    module_.Form1().Command1_Click(1);
  }
  velmor::ColorValue Colour(std::int16_t i) { return module_.Form1().Option1(i).ForeColor(); }

  FakePlatform platform_;
  FakeHost host_;
  uninstall::Module1 module_{platform_};
};

TEST(UninstallWindowTable, HasItsControlArraysAndUnevenOptionSpacing) {
  std::map<std::wstring_view, std::set<std::int16_t>> arrays;
  std::vector<int> optionTops(5);
  for (const auto& control : uninstall::kForm1Spec.controls) {
    if (control.index != velmor::kNoIndex) arrays[control.name].insert(control.index);
    if (control.name == L"Option1") optionTops[control.index] = control.box.top;
    if (control.kind != velmor::ControlKind::kLine) {
      EXPECT_LE(control.box.left + control.box.width, uninstall::kForm1Spec.clientWidth);
      EXPECT_LE(control.box.top + control.box.height, uninstall::kForm1Spec.clientHeight);
    }
  }
  EXPECT_EQ(uninstall::kForm1Spec.controls.size(), 15u);
  EXPECT_EQ(arrays[L"Option1"], (std::set<std::int16_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(arrays[L"Command1"], (std::set<std::int16_t>{1}));
  EXPECT_EQ(arrays[L"Line1"], (std::set<std::int16_t>{1, 2}));
  EXPECT_EQ(arrays[L"Label4"], (std::set<std::int16_t>{1}));
  EXPECT_EQ(optionTops, (std::vector<int>{1320, 1605, 1920, 2170, 2460}));
}

TEST_F(Uninstall, OpensWithNothingSelectedAndTheStaticCaption) {
  EXPECT_TRUE(module_.Form1().Window().IsVisible());
  EXPECT_EQ(module_.Form1().Window().Caption(), L"Velmor Ａｄｄｉｎ　開放");
  for (std::int16_t i = 0; i <= 4; ++i) {
    EXPECT_EQ(module_.Form1().Option1(i).Value(), 0);
    EXPECT_EQ(Colour(i), velmor::kButtonText);
  }
  EXPECT_THROW(module_.Form1().Command1(0), velmor::RuntimeError);
}

TEST_F(Uninstall, SelectionMovesTheBlueAndTheCaption) {
  Select(2);
  EXPECT_EQ(Colour(2), velmor::kBlue);
  EXPECT_EQ(module_.Form1().Window().Caption(), L"Velmor - TorvaneEx UnInstall");
  Select(0);
  EXPECT_EQ(Colour(2), velmor::kButtonText);
  EXPECT_EQ(Colour(0), velmor::kBlue);
  EXPECT_EQ(module_.TitleText, L"Velmor - CordaleEx UnInstall");
  Select(4);
  EXPECT_EQ(module_.Form1().Window().Caption(), L"Velmor - QuillonEx UnInstall");

  // A click that leaves its own option unselected says so in the caption.
  module_.Form1().Option1(4).SetValue(0);
  module_.Form1().Option1_Click(4);
  EXPECT_EQ(Colour(4), velmor::kButtonText);
  EXPECT_EQ(module_.Form1().Window().Caption(), L"Velmor UnInstall");
}

TEST_F(Uninstall, StartWithoutSelectionOnlyAsksForOne) {
  Start();
  EXPECT_EQ(platform_.log, (std::vector<std::wstring>{kNoSelection}));
}

TEST_F(Uninstall, ReleaseRunsTheMacroDeletesTheFileBeforeClosingAndNamesTheAddin) {
  Select(2);
  Start();
  EXPECT_EQ(platform_.log, (std::vector<std::wstring>{
                               L"FindExcel",
                               L"CheckFile C:\\Velmor\\Velmor_Tool.xls",
                               L"CheckFile C:\\Velmor\\TorvaneEx.xla",
                               L"InUse C:\\Velmor\\TorvaneEx.xla",
                               L"FindExcel",
                               L"CreateObject Excel.Application",
                               L"Excel.Application.Visible=True",
                               L"Excel.Application.DisplayAlerts=False",
                               L"Excel.Application.Workbooks",
                               L"Workbooks.Open(C:\\Velmor\\Velmor_Tool.xls)",
                               L"Release Workbooks",
                               L"Excel.Application.Run(Addin_UnInstall, C:\\Velmor, TorvaneEx)",
                               L"RemoveFile C:\\Velmor\\TorvaneEx.xla",
                               L"Excel.Application.Workbooks",
                               L"Workbooks.Close()",
                               L"Release Workbooks",
                               L"FindExcel",
                               L"Excel.Application.Quit()",
                               L"Release Workbook",
                               L"Release Excel.Application",
                               L"MsgBox[0|UnInstall] アドイン関数(TorvaneEx)を開放しました。",
                           }));
  EXPECT_EQ(module_.AddinIndex, 3);
  // Selection, colours and caption stay as they were.
  EXPECT_EQ(Colour(2), velmor::kBlue);
  EXPECT_EQ(module_.Form1().Window().Caption(), L"Velmor - TorvaneEx UnInstall");

  Start();  // the second time the file is gone
  EXPECT_EQ(platform_.log.back(), kMissing);
  EXPECT_TRUE(platform_.Lines(L"CreateObject").empty());
}

TEST_F(Uninstall, TheToolWorkbookMustLieBesideTheProgram) {
  platform_.appPath = L"C:\\Elsewhere";
  Select(4);
  Start();
  EXPECT_EQ(platform_.log,
            (std::vector<std::wstring>{L"FindExcel", L"CheckFile C:\\Elsewhere\\Velmor_Tool.xls",
                                       L"CheckFile C:\\Velmor\\QuillonEx.xla", kMissing}));
}

TEST_F(Uninstall, AFailedDeletionClosesExcelWithoutSavingThenEndsInTheError) {
  // Free when probed, then taken by another program before the deletion.
  platform_.undeletable = {L"C:\\Velmor\\QuillonEx.xla"};
  Select(4);
  try {
    Start();
    FAIL() << "a failed deletion must reach the error report";
  } catch (const velmor::RuntimeError& error) {
    EXPECT_EQ(error.Object(), L"C:\\Velmor\\QuillonEx.xla");
  }
  const auto removal = std::find(platform_.log.begin(), platform_.log.end(),
                                 L"RemoveFile C:\\Velmor\\QuillonEx.xla");
  ASSERT_NE(removal, platform_.log.end());
  EXPECT_EQ(std::vector<std::wstring>(removal + 1, platform_.log.end()),
            (std::vector<std::wstring>{L"Excel.Application.Workbooks", L"Workbooks.Close()",
                                       L"Release Workbooks", L"Excel.Application.Quit()",
                                       L"Release Workbook", L"Release Excel.Application"}));
}

TEST_F(Uninstall, AnOpenExcelOrAnAddinFileInUseStopsTheReleaseBeforeAnythingChanges) {
  const std::wstring addin = L"C:\\Velmor\\TorvaneEx.xla";
  const std::wstring openMessage =
      L"MsgBox[0|UnInstall] " + std::wstring(velmor::kExcelOpenMessage);
  struct Case {
    const char* what;
    std::set<std::uint32_t> userExcels;
    std::set<std::wstring> inUse;
    std::vector<std::wstring> log;  // up to the one message
  };
  const Case cases[] = {
      {"an Excel the user has open", {7}, {}, {L"FindExcel", openMessage}},
      // An open Excel is the likelier holder of the file: it is named first.
      {"both", {7}, {addin}, {L"FindExcel", openMessage}},
      {"the add-in file in use",
       {},
       {addin},
       {L"FindExcel", L"CheckFile C:\\Velmor\\Velmor_Tool.xls", L"CheckFile " + addin,
        L"InUse " + addin}},
  };
  Select(2);
  for (const Case& c : cases) {
    platform_.userExcels = c.userExcels;
    platform_.inUse = c.inUse;
    Start();
    std::vector<std::wstring> log = platform_.log;
    if (c.log.back() != openMessage) {
      ASSERT_EQ(log.size(), c.log.size() + 1) << c.what;
      const std::wstring box = log.back();
      log.pop_back();
      EXPECT_NE(box.find(L"\n\nファイル: " + addin + L"\n\n"), std::wstring::npos) << c.what;
      EXPECT_NE(box.find(L"使用中のため、削除できません。\n何も変更していません。\n"),
                std::wstring::npos)
          << c.what;
    }
    EXPECT_EQ(log, c.log) << c.what;
    EXPECT_EQ(platform_.files.count(addin), 1u) << c.what;
  }

  // Once both are closed, the next click releases the add-in.
  platform_.userExcels.clear();
  platform_.inUse.clear();
  Start();
  EXPECT_EQ(platform_.log.back(), L"MsgBox[0|UnInstall] アドイン関数(TorvaneEx)を開放しました。");
  EXPECT_EQ(platform_.files.count(addin), 0u);
}

TEST_F(Uninstall, TheReleaseIsAStepThatRefusesOtherHandlersUntilItEnds) {
  Select(2);
  bool runningDuringMessage = false;
  std::wstring reason;
  platform_.onMsgBox = [&](std::wstring_view) {
    velmor::Form& form = module_.Form1().Window();
    runningDuringMessage = form.StepRunning();
    reason = form.StepReason();
    // The exit button and another option, clicked meanwhile, do nothing.
    form.Click(module_.Form1().Command2());
    form.Click(module_.Form1().Option1(0));
  };
  host_.events.clear();
  Start();
  EXPECT_TRUE(runningDuringMessage);
  EXPECT_EQ(reason, L"アドインを開放しています。");
  EXPECT_TRUE(module_.Form1().Window().IsLoaded());
  EXPECT_EQ(module_.Form1().Window().Caption(), L"Velmor - TorvaneEx UnInstall");
  EXPECT_EQ(host_.events.back(), L"StepEnded");
  EXPECT_FALSE(module_.Form1().Window().StepRunning());

  // Once the step has ended, clicks act again.
  platform_.onMsgBox = nullptr;
  module_.Form1().Window().Click(module_.Form1().Command2());
  EXPECT_FALSE(module_.Form1().Window().IsLoaded());
}

TEST_F(Uninstall, AStepThatFailsEndsAllTheSame) {
  platform_.failingMember = L"Run";
  Select(1);
  EXPECT_THROW(Start(), velmor::RuntimeError);
  EXPECT_FALSE(module_.Form1().Window().StepRunning());
  EXPECT_EQ(host_.events.back(), L"StepEnded");
}

}  // namespace
