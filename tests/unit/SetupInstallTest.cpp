// The Start button of the setup program: installers, the Excel step and the closing message.

#include <gtest/gtest.h>

#include "ExcelTool.h"
#include "FakePlatform.h"
#include "setup/Module1.h"

namespace {

using testing_support::FakePlatform;

const std::wstring kRedist = L"C:\\dist\\vcredist_x86.exe";
const std::wstring kPackage = L"C:\\dist\\Velmor_Pgm.exe";
const std::wstring kWorkbook = L"C:\\Velmor\\Velmor_Tool.xls";
const std::wstring kDone = L"MsgBox[64|終了確認]  ソフト展開完了！";
const std::wstring kMissing = L"MsgBox[0|Velmor_Setup] ファイルがありません！";

class SetupInstall : public ::testing::Test {
 protected:
  void Start(const wchar_t* commandLine) {
    platform_.commandLine = commandLine;
    // The package lays out the product folder, as the real one does.
    platform_.onStart = [this](const std::wstring& path) {
      if (path != kPackage) return;
      platform_.files.insert(kWorkbook);
      for (const wchar_t* name :
           {L"CordaleEx", L"BriselEx", L"TorvaneEx", L"MalvixEx", L"QuillonEx"}) {
        platform_.files.insert(L"C:\\Velmor\\" + std::wstring(name) + L".xla");
      }
    };
    module_.Main();
    platform_.log.clear();
  }
  void Click() { module_.Form1().Command1_Click(1); }
  void Tick() { module_.Form1().Check1().SetValue(1); }
  velmor::ColorValue CheckColour() { return module_.Form1().Check1().ForeColor(); }
  velmor::ColorValue LabelColour() {
    return module_.Form1().Label1(static_cast<std::int16_t>(module_.AddinIndex - 1)).ForeColor();
  }

  FakePlatform platform_;
  setup::Module1 module_{platform_};
};

TEST_F(SetupInstall, ExcelStepCallsTheToolWorkbookInOrderAndReleasesWorkbookFirst) {
  Start(L"/A5");
  platform_.files = {kWorkbook, L"C:\\Velmor\\QuillonEx.xla"};
  EXPECT_TRUE(module_.SetExcelAddin());
  EXPECT_EQ(platform_.log, (std::vector<std::wstring>{
                               L"CheckFile C:\\Velmor\\Velmor_Tool.xls",
                               L"CheckFile C:\\Velmor\\QuillonEx.xla",
                               L"FindExcel",
                               L"CreateObject Excel.Application",
                               L"Excel.Application.Visible=True",
                               L"Excel.Application.DisplayAlerts=False",
                               L"Excel.Application.Workbooks",
                               L"Workbooks.Open(C:\\Velmor\\Velmor_Tool.xls)",
                               L"Release Workbooks",
                               L"Excel.Application.Run(Addin_Install, C:\\Velmor, QuillonEx)",
                               L"Excel.Application.Workbooks",
                               L"Workbooks.Close()",
                               L"Release Workbooks",
                               L"FindExcel",  // the Excel now running is ours
                               L"Excel.Application.Quit()",
                               L"Release Workbook",
                               L"Release Excel.Application",
                           }));
  EXPECT_EQ(module_.BasePath, L"C:\\Velmor");
}

TEST_F(SetupInstall, AMissingFileIsReportedAfterBothProbesAndExcelIsNotStarted) {
  Start(L"/A3");
  for (const auto& present :
       {std::set<std::wstring>{kWorkbook}, std::set<std::wstring>{L"C:\\Velmor\\TorvaneEx.xla"},
        std::set<std::wstring>{}}) {
    platform_.files = present;
    platform_.log.clear();
    module_.BasePath = L"C:\\dist";
    EXPECT_FALSE(module_.SetExcelAddin());
    EXPECT_EQ(platform_.log,
              (std::vector<std::wstring>{L"CheckFile C:\\Velmor\\Velmor_Tool.xls",
                                         L"CheckFile C:\\Velmor\\TorvaneEx.xla", kMissing}));
    EXPECT_EQ(module_.BasePath, L"C:\\Velmor");
  }
}

TEST_F(SetupInstall, AnAutomationFailurePropagatesWithTheMemberName) {
  Start(L"/A3");
  platform_.files = {kWorkbook, L"C:\\Velmor\\TorvaneEx.xla"};
  platform_.failingMember = L"Run";
  try {
    (void)module_.SetExcelAddin();
    FAIL() << "the failure must reach the caller";
  } catch (const velmor::RuntimeError& error) {
    EXPECT_EQ(error.Object(), L"Excel.Application.Run");
  }
  // Excel is not left running with its alerts off.
  EXPECT_EQ(platform_.Lines(L"Excel.Application.Quit").size(), 1u);
}

TEST_F(SetupInstall, FirstClickRunsBothInstallersThenExcelThenTheClosingMessage) {
  Start(L"/A3");
  Tick();
  Click();
  EXPECT_EQ(platform_.Lines(L"Start "),
            (std::vector<std::wstring>{L"Start " + kRedist, L"Start " + kPackage}));
  EXPECT_EQ(
      platform_.Lines(L"Excel.Application.Run"),
      (std::vector<std::wstring>{L"Excel.Application.Run(Addin_Install, C:\\Velmor, TorvaneEx)"}));
  EXPECT_EQ(platform_.log.back(), kDone);
  EXPECT_EQ(CheckColour(), velmor::kBlue);
  EXPECT_EQ(LabelColour(), velmor::kBlue);
}

TEST_F(SetupInstall, SecondClickSaysBothAreDoneAndRunsExcelAgain) {
  Start(L"/A3");
  Tick();
  Click();
  platform_.log.clear();
  Click();
  EXPECT_TRUE(platform_.Lines(L"Start ").empty());
  const auto messages = platform_.Lines(L"MsgBox");
  EXPECT_EQ(messages, (std::vector<std::wstring>{
                          L"MsgBox[0|Velmor_Setup] MicroSoft Visual C++ セット済みです。",
                          L"MsgBox[0|Velmor_Setup] 必要なソフトは、展開済みです。", kDone}));
  EXPECT_EQ(platform_.Lines(L"Excel.Application.Run").size(), 1u);
}

TEST_F(SetupInstall, UntickedRedistributableIsLeftAlone) {
  Start(L"/A1");
  Click();
  EXPECT_EQ(platform_.Lines(L"Start "), (std::vector<std::wstring>{L"Start " + kPackage}));
  EXPECT_EQ(CheckColour(), velmor::kButtonText);
  EXPECT_EQ(platform_.log.back(), kDone);
}

TEST_F(SetupInstall, InstallersComeFromTheDistributionFolderOnLaterClicksToo) {
  Start(L"/A2");
  Click();
  ASSERT_EQ(module_.BasePath, L"C:\\Velmor");
  Tick();
  platform_.log.clear();
  Click();
  EXPECT_EQ(platform_.Lines(L"Start "), (std::vector<std::wstring>{L"Start " + kRedist}));
}

TEST_F(SetupInstall, AFailedInstallerIsNotMarkedDoneAndEndsTheClick) {
  Start(L"/A3");
  platform_.exitCodes[kPackage] = {1, 0};
  Click();
  EXPECT_EQ(LabelColour(), velmor::kButtonText);
  EXPECT_TRUE(platform_.Lines(L"CreateObject").empty());
  const auto messages = platform_.Lines(L"MsgBox");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find(kPackage), std::wstring::npos);
  EXPECT_NE(messages[0].find(L"終了コード: 1"), std::wstring::npos);

  platform_.log.clear();
  Click();  // the next click tries again
  EXPECT_EQ(platform_.Lines(L"Start "), (std::vector<std::wstring>{L"Start " + kPackage}));
  EXPECT_EQ(LabelColour(), velmor::kBlue);
  EXPECT_EQ(platform_.log.back(), kDone);
}

// What each installer's exit code means: done (marked blue, the click goes on to Excel), or not
// done (nothing marked, no Excel, one box with the path, the code and words that fit the code).
struct ExitCodeCase {
  bool runtime;  // the redistributable, or else the product package
  std::uint32_t code;
  const wchar_t* words;  // nullptr: done
};

const ExitCodeCase kExitCodeCases[] = {
    {true, 0, nullptr},
    {false, 0, nullptr},
    {true, 1638, nullptr},   // this or a newer version is already installed
    {false, 1638, nullptr},  // the file probes of the Excel step check the product files
    {true, 5100, nullptr},   // a newer runtime of the same line is installed
    {false, 5100, L"インストーラーが正常に終了しませんでした。"},
    {true, 3010, nullptr},
    {false, 3010, nullptr},
    {true, 1602,
     L"インストールが取り消されたため、このインストーラーでは何もインストールされていません。"},
    {false, 1602, L"もう一度「開始」を押すと、インストーラーを改めて起動します。"},
    {true, 1618, L"別のインストールが実行中のため、インストールできませんでした。"},
    {false, 1618, L"実行中のインストールが終わってから、もう一度「開始」を押してください。"},
    {false, 1603, L"インストール中にエラーが発生しました。"},
    {true, 0xC0000005u, L"インストーラーが異常終了しました。"},
    {false, 0xC0000409u, L"インストーラーが異常終了しました。"},
    {false, 1, L"インストーラーが正常に終了しませんでした。"},
    {true, 0x80070005u, L"インストーラーが正常に終了しませんでした。"},
};

TEST(SetupInstallExitCodes, EachCodeIsDoneOrToldInWordsThatFitIt) {
  for (const ExitCodeCase& c : kExitCodeCases) {
    SCOPED_TRACE(testing::Message() << (c.runtime ? "redistributable " : "package ") << c.code);
    FakePlatform platform;
    setup::Module1 module(platform);
    platform.commandLine = L"/A3";
    platform.files = {kWorkbook, L"C:\\Velmor\\TorvaneEx.xla"};
    module.Main();
    platform.log.clear();
    if (c.runtime) module.Form1().Check1().SetValue(1);
    const std::wstring& path = c.runtime ? kRedist : kPackage;
    platform.exitCodes[path] = {c.code};
    module.Form1().Command1_Click(1);

    velmor::Control& mark = c.runtime ? module.Form1().Check1() : module.Form1().Label1(2);
    const auto messages = platform.Lines(L"MsgBox");
    if (c.words == nullptr) {
      EXPECT_EQ(mark.ForeColor(), velmor::kBlue);
      EXPECT_EQ(platform.Lines(L"CreateObject").size(), 1u);
      EXPECT_EQ(messages.front(), kDone);
      continue;
    }
    EXPECT_NE(mark.ForeColor(), velmor::kBlue);
    EXPECT_EQ(platform.Lines(L"Start ").back(), L"Start " + path);  // nothing after it
    EXPECT_TRUE(platform.Lines(L"CreateObject").empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(c.words), std::wstring::npos) << messages[0];
    EXPECT_NE(messages[0].find(L"\n\nインストーラー: " + path + L"\n終了コード: " +
                               velmor::FormatErrorNumber(c.code) + L"\n\n"),
              std::wstring::npos)
        << messages[0];
  }
}

// 1641: the installer is done and has started the restart itself. Windows is going down, so
// nothing more starts; the next click after the restart goes on from there.
TEST_F(SetupInstall, AnInstallerThatStartedTheRestartEndsTheClickWithoutExcel) {
  Start(L"/A3");
  Tick();
  platform_.exitCodes[kRedist] = {1641};
  Click();
  EXPECT_EQ(platform_.Lines(L"Start "), (std::vector<std::wstring>{L"Start " + kRedist}));
  EXPECT_TRUE(platform_.Lines(L"CreateObject").empty());
  EXPECT_EQ(
      platform_.Lines(L"MsgBox"),
      (std::vector<std::wstring>{
          L"MsgBox[64|Velmor_Setup] インストーラー（vcredist_x86.exe）が Windows "
          L"の再起動を開始しました。\nアドインのインストールはまだ完了していません。\n"
          L"Windows の再起動後に、セットアップをもう一度起動して、「開始」を押してください。"}));
  EXPECT_EQ(CheckColour(), velmor::kBlue);
  EXPECT_EQ(LabelColour(), velmor::kButtonText);

  // The restart did not happen after all: the next click goes on with the package.
  platform_.log.clear();
  platform_.exitCodes[kPackage] = {1641};
  Click();
  EXPECT_EQ(platform_.Lines(L"Start "), (std::vector<std::wstring>{L"Start " + kPackage}));
  EXPECT_TRUE(platform_.Lines(L"CreateObject").empty());
  EXPECT_NE(platform_.log.back().find(L"（Velmor_Pgm.exe）が Windows の再起動を開始しました"),
            std::wstring::npos);
  EXPECT_EQ(LabelColour(), velmor::kBlue);
}

TEST_F(SetupInstall, RedistributableFailureStopsBeforeThePackage) {
  Start(L"/A3");
  Tick();
  platform_.exitCodes[kRedist] = {1603};
  Click();
  EXPECT_EQ(platform_.Lines(L"Start "), (std::vector<std::wstring>{L"Start " + kRedist}));
  EXPECT_EQ(CheckColour(), velmor::kButtonText);
  EXPECT_EQ(LabelColour(), velmor::kButtonText);
}

TEST_F(SetupInstall, AMissingFileAfterThePackageGivesNoClosingMessage) {
  Start(L"/A3");
  platform_.onStart = nullptr;  // the package lays nothing out
  Click();
  EXPECT_EQ(platform_.log.back(), kMissing);
  EXPECT_TRUE(platform_.Lines(L"CreateObject").empty());
}

TEST_F(SetupInstall, AnInstallerThatCannotStartIsAnErrorAndChangesNoColour) {
  Start(L"/A3");
  Tick();
  platform_.unstartable = {kRedist};
  EXPECT_THROW(Click(), velmor::RuntimeError);
  EXPECT_EQ(CheckColour(), velmor::kButtonText);
  EXPECT_EQ(LabelColour(), velmor::kButtonText);
}

TEST_F(SetupInstall, AnInstallerThatNeedsAdministratorRightsIsStartedThroughTheElevationPrompt) {
  Start(L"/A3");
  Tick();
  platform_.needsElevation = {kRedist};
  platform_.exitCodes[kRedist] = {0};
  Click();
  EXPECT_EQ(platform_.Lines(L"Start"),
            (std::vector<std::wstring>{L"Start " + kRedist, L"StartElevated " + kRedist,
                                       L"Start " + kPackage}));
  EXPECT_EQ(CheckColour(), velmor::kBlue);
  EXPECT_EQ(platform_.log.back(), kDone);
}

TEST_F(SetupInstall, ADeclinedElevationIsReportedNotMarkedDoneAndAskedAgainNextClick) {
  Start(L"/A3");
  Tick();
  platform_.needsElevation = {kRedist, kPackage};
  platform_.elevationDeclines = 1;
  Click();
  EXPECT_EQ(platform_.Lines(L"Start"),
            (std::vector<std::wstring>{L"Start " + kRedist, L"StartElevated " + kRedist}));
  const auto messages = platform_.Lines(L"MsgBox");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind(L"MsgBox[0|Velmor_Setup] ", 0), 0u);
  EXPECT_NE(messages[0].find(L"\n\nインストーラー: " + kRedist + L"\n\n"), std::wstring::npos);
  EXPECT_NE(messages[0].find(L"\nこのインストーラーでは何もインストールされていません。\n"),
            std::wstring::npos);
  EXPECT_NE(messages[0].find(L"もう一度「開始」を押すと、許可を求める画面が再び表示されます。"),
            std::wstring::npos);
  EXPECT_EQ(CheckColour(), velmor::kButtonText);
  EXPECT_TRUE(platform_.Lines(L"CreateObject").empty());

  platform_.log.clear();
  Click();  // asked again; the user agrees this time
  EXPECT_EQ(platform_.Lines(L"Start"),
            (std::vector<std::wstring>{L"Start " + kRedist, L"StartElevated " + kRedist,
                                       L"Start " + kPackage, L"StartElevated " + kPackage}));
  EXPECT_EQ(CheckColour(), velmor::kBlue);
  EXPECT_EQ(LabelColour(), velmor::kBlue);
  EXPECT_EQ(platform_.log.back(), kDone);
}

TEST_F(SetupInstall, ADeclinedPackageLeavesItsLabelAndStartsNoExcel) {
  Start(L"/A3");
  platform_.needsElevation = {kPackage};
  platform_.elevationDeclines = 1;
  Click();
  EXPECT_EQ(LabelColour(), velmor::kButtonText);
  EXPECT_TRUE(platform_.Lines(L"CreateObject").empty());
  ASSERT_EQ(platform_.Lines(L"MsgBox").size(), 1u);
  EXPECT_NE(platform_.log.back().find(kPackage), std::wstring::npos);
}

TEST_F(SetupInstall, AnInstallerAskingForARestartIsNamedOnceAfterTheClosingMessage) {
  Start(L"/A3");
  Tick();
  platform_.exitCodes[kRedist] = {3010};
  Click();
  auto messages = platform_.Lines(L"MsgBox");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], kDone);
  EXPECT_EQ(messages[1],
            L"MsgBox[64|Velmor_Setup] インストーラー（vcredist_x86.exe）の処理を完了するには、"
            L"Windows の再起動が必要です。\nアドインを使う前に、Windows を再起動してください。");

  // Nothing ran on the second click, so nothing asks for a restart.
  platform_.log.clear();
  Click();
  EXPECT_EQ(platform_.log.back(), kDone);

  // Both installers asking give one box naming both.
  FakePlatform other;
  setup::Module1 second(other);
  other.commandLine = L"/A3";
  other.files = platform_.files;
  second.Main();
  second.Form1().Check1().SetValue(1);
  other.exitCodes[kRedist] = {3010};
  other.exitCodes[kPackage] = {3010};
  second.Form1().Command1_Click(1);
  messages = other.Lines(L"MsgBox");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], kDone);
  EXPECT_NE(messages[1].find(L"（vcredist_x86.exe、Velmor_Pgm.exe）"), std::wstring::npos);
}

TEST_F(SetupInstall, NoRestartNoteWithoutTheClosingMessage) {
  Start(L"/A3");
  platform_.onStart = nullptr;  // the package lays nothing out
  platform_.exitCodes[kPackage] = {3010};
  Click();
  EXPECT_EQ(platform_.Lines(L"MsgBox"), (std::vector<std::wstring>{kMissing}));
}

TEST_F(SetupInstall, AnExcelTheUserHasOpenStopsTheClickUntilItIsClosed) {
  const std::wstring openMessage =
      L"MsgBox[0|Velmor_Setup] " + std::wstring(velmor::kExcelOpenMessage);
  Start(L"/A3");
  Tick();
  platform_.userExcels = {7};
  Click();  // open before the click: nothing starts
  EXPECT_EQ(platform_.log, (std::vector<std::wstring>{L"FindExcel", openMessage}));
  EXPECT_EQ(CheckColour(), velmor::kButtonText);
  EXPECT_EQ(LabelColour(), velmor::kButtonText);

  // Opened while the package installs: the installers are done, Excel is not started.
  platform_.userExcels.clear();
  const auto layOut = platform_.onStart;
  platform_.onStart = [&](const std::wstring& path) {
    layOut(path);
    if (path == kPackage) platform_.userExcels = {8};
  };
  platform_.log.clear();
  Click();
  EXPECT_EQ(platform_.Lines(L"Start "),
            (std::vector<std::wstring>{L"Start " + kRedist, L"Start " + kPackage}));
  EXPECT_EQ(platform_.Lines(L"MsgBox"), (std::vector<std::wstring>{openMessage}));
  EXPECT_TRUE(platform_.Lines(L"CreateObject").empty());
  EXPECT_EQ(CheckColour(), velmor::kBlue);
  EXPECT_EQ(LabelColour(), velmor::kBlue);

  // Closed: the next click goes on where this one stopped.
  platform_.userExcels.clear();
  platform_.log.clear();
  Click();
  EXPECT_TRUE(platform_.Lines(L"Start ").empty());
  EXPECT_EQ(platform_.Lines(L"Excel.Application.Run").size(), 1u);
  EXPECT_EQ(platform_.log.back(), kDone);
}

TEST_F(SetupInstall, TheClickIsAStepDuringWhichNothingElseRuns) {
  testing_support::FakeHost host;
  module_.Form1().Window().AttachHost(&host);
  Start(L"/A3");
  velmor::Form& form = module_.Form1().Window();
  std::vector<std::wstring> reasons;
  platform_.onStart = [&](const std::wstring&) {
    reasons.push_back(form.StepRunning() ? form.StepReason() : L"(no step)");
    // The exit button, clicked while the installer runs, does nothing.
    form.Click(module_.Form1().Command2());
  };
  platform_.files = {kWorkbook, L"C:\\Velmor\\TorvaneEx.xla"};
  Click();
  EXPECT_EQ(reasons, (std::vector<std::wstring>{L"アドインをインストールしています。"}));
  EXPECT_TRUE(form.IsLoaded());
  EXPECT_FALSE(form.StepRunning());
  EXPECT_EQ(host.events.back(), L"StepEnded");
  EXPECT_EQ(platform_.log.back(), kDone);

  // A step that ends in an error ends all the same.
  platform_.unstartable = {kRedist};
  Tick();
  EXPECT_THROW(Click(), velmor::RuntimeError);
  EXPECT_FALSE(form.StepRunning());
}

}  // namespace
