// The setup program's command line and start-up.

#include <gtest/gtest.h>

#include "CommandLine.h"
#include "FakePlatform.h"
#include "setup/AddinArgument.h"
#include "setup/Module1.h"

namespace {

using testing_support::FakeHost;
using testing_support::FakePlatform;

TEST(AddinArgument, ChoosesTheRowTheCommandLineNames) {
  const std::pair<const wchar_t*, int> cases[] = {
      {L"", 1},     {L"/A3", 3},     {L" /a3 ", 3},    {L"XY05", 5},   {L"/A9", 1},
      {L"/A0", 1},  {L"/A-2", 1},    {L"12", 1},       {L"P5", 1},     {L"/P5", 5},
      {L"/A+4", 4}, {L"/A32767", 1}, {L"/A-32768", 1}, {L"/A0005", 5}, {L"   ", 1},
  };
  for (const auto& [line, row] : cases) {
    const auto result = setup::ReadAddinArgument(line);
    ASSERT_TRUE(result.index.has_value()) << "rejected: \"" << line << '"';
    EXPECT_EQ(*result.index, row) << "for the argument \"" << line << '"';
  }
}

TEST(AddinArgument, RejectsWhatIsNotAWholeNumberInThe16BitRange) {
  for (const wchar_t* line : {L"/Ax", L"/A 3", L"/A3x", L"/A3.0", L"/A+", L"/A-", L"/A32768",
                              L"/A-32769", L"/A99999999999999999999", L"/A３", L"/A0x5"}) {
    const auto result = setup::ReadAddinArgument(line);
    EXPECT_FALSE(result.index.has_value()) << "accepted: \"" << line << '"';
  }
  EXPECT_EQ(setup::ReadAddinArgument(L"  /ax ").text, L"/ax");
}

// A second start while a first copy runs: the same add-in only brings the first copy forward;
// another add-in is told what the running setup installs and when the other can be installed.
TEST(SecondCopy, ToldOnlyWhenItAsksForAnotherAddinThanTheRunningOne) {
  const struct {
    const wchar_t* commandLine;
    const wchar_t* runningCaption;
    const wchar_t* notice;  // nullptr: nothing said
  } cases[] = {
      {L"/A3", L"Velmor - TorvaneEx.xla", nullptr},
      {L" /a3 ", L"Velmor - TorvaneEx.xla", nullptr},
      {L"/A9", L"Velmor - CordaleEx.xla", nullptr},  // row 1 both times
      {L"", L"Velmor - CordaleEx.xla", nullptr},
      {L"/Ax", L"Velmor - TorvaneEx.xla", nullptr},  // names no add-in: nothing to install later
      {L"/A2", L"Velmor - TorvaneEx.xla",
       L"TorvaneEx.xla のセットアップが既に実行中です。\nBriselEx.xla をインストールするには、"
       L"実行中のセットアップを終了してから、もう一度起動してください。"},
      {L"/A5", L"Velmor - MalvixEx.xla",
       L"MalvixEx.xla のセットアップが既に実行中です。\nQuillon.exe をインストールするには、"
       L"実行中のセットアップを終了してから、もう一度起動してください。"},
      {L"/A3", L"Velmor - Quillon.exe",
       L"Quillon.exe のセットアップが既に実行中です。\nTorvaneEx.xla をインストールするには、"
       L"実行中のセットアップを終了してから、もう一度起動してください。"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(setup::SecondCopyNotice(c.commandLine, c.runningCaption),
              c.notice != nullptr ? c.notice : L"")
        << "for \"" << c.commandLine << "\" beside \"" << c.runningCaption << '"';
  }
  // The caption it compares with is the one Main gives the window.
  for (const wchar_t* line : {L"/A1", L"/A2", L"/A3", L"/A4", L"/A5"}) {
    FakePlatform platform;
    setup::Module1 module(platform);
    platform.commandLine = line;
    module.Main();
    EXPECT_EQ(setup::SecondCopyNotice(line, module.TitleText), L"");
    EXPECT_NE(setup::SecondCopyNotice(line, L"Velmor - X"), L"");
  }
}

TEST(CommandLine, ArgumentsFollowTheProgramNameQuotedOrNot) {
  EXPECT_EQ(velmor::ArgumentsOf(L"\"C:\\Program Files\\Velmor CD\\Velmor_Setup.exe\" /A3"), L"/A3");
  EXPECT_EQ(velmor::ArgumentsOf(L"\"C:\\a b\\Velmor_Setup.exe\""), L"");
  EXPECT_EQ(velmor::ArgumentsOf(L"Velmor_Setup.exe \t /a3 "), L"/a3 ");
  EXPECT_EQ(velmor::ArgumentsOf(L"Velmor_Setup.exe"), L"");
  EXPECT_EQ(velmor::ArgumentsOf(L"\"C:\\unclosed /A3"), L"");
  // Quotes inside the arguments are theirs to keep.
  EXPECT_EQ(velmor::ArgumentsOf(L"setup.exe \"  /a4  \""), L"\"  /a4  \"");
}

TEST(CommandLine, TheProgramsOwnPathWrittenOutUnquotedIsSkippedWhole) {
  const wchar_t* own = L"C:\\dist\\Velmor CD\\Velmor_Setup.exe";
  EXPECT_EQ(velmor::ArgumentsOf(L"C:\\dist\\Velmor CD\\Velmor_Setup.exe /A3", own), L"/A3");
  EXPECT_EQ(velmor::ArgumentsOf(L"c:\\DIST\\velmor cd\\VELMOR_SETUP.EXE\t /a4 ", own), L"/a4 ");
  EXPECT_EQ(velmor::ArgumentsOf(L"C:\\dist\\Velmor CD\\Velmor_Setup.exe", own), L"");
  EXPECT_EQ(velmor::ArgumentsOf(L"C:\\dist\\Velmor CD\\Velmor_Setup.exe   ", own), L"");
  // The argument is then read as usual.
  const auto choice = setup::ReadAddinArgument(
      velmor::ArgumentsOf(L"C:\\dist\\Velmor CD\\Velmor_Setup.exe /A3", own));
  ASSERT_TRUE(choice.index.has_value());
  EXPECT_EQ(*choice.index, 3);
}

TEST(CommandLine, AnyOtherLineReadsAsBefore) {
  const wchar_t* own = L"C:\\dist\\Velmor CD\\Velmor_Setup.exe";
  // The path must be followed by a blank or the end: a longer name is another program.
  EXPECT_EQ(velmor::ArgumentsOf(L"C:\\dist\\Velmor CD\\Velmor_Setup.exe2 /A3", own),
            L"CD\\Velmor_Setup.exe2 /A3");
  // Another folder, a relative name, the quoted path: as without the program's path.
  for (const wchar_t* line :
       {L"C:\\dist\\Velmor CD2\\Velmor_Setup.exe /A3", L"Velmor_Setup.exe /A3",
        L"\"C:\\dist\\Velmor CD\\Velmor_Setup.exe\" /A3", L"C:\\dist\\Velmor", L"",
        L" C:\\dist\\Velmor CD\\Velmor_Setup.exe /A3"}) {
    EXPECT_EQ(velmor::ArgumentsOf(line, own), velmor::ArgumentsOf(line)) << "for \"" << line << '"';
  }
  // Without the program's path nothing changes: today's reading of the unquoted form.
  EXPECT_EQ(velmor::ArgumentsOf(L"C:\\dist\\Velmor CD\\Velmor_Setup.exe /A3"),
            L"CD\\Velmor_Setup.exe /A3");
  EXPECT_FALSE(setup::ReadAddinArgument(L"CD\\Velmor_Setup.exe /A3").index.has_value());
}

class SetupStartup : public ::testing::Test {
 protected:
  void Start(const wchar_t* commandLine) {
    platform_.commandLine = commandLine;
    module_.Form1().Window().AttachHost(&host_);
    module_.Main();
  }
  FakePlatform platform_;
  FakeHost host_;
  setup::Module1 module_{platform_};
};

TEST_F(SetupStartup, ColoursTheChosenLabelAndTitlesTheWindowBeforeShowingIt) {
  Start(L"/A3");
  EXPECT_EQ(module_.AddinIndex, 3);
  EXPECT_EQ(module_.BasePath, L"C:\\dist");
  EXPECT_EQ(module_.AddinNames(3), L"TorvaneEx");
  for (std::int16_t i = 0; i <= 4; ++i) {
    EXPECT_EQ(module_.Form1().Label1(i).ForeColor(),
              i == 2 ? velmor::kButtonText : velmor::k3DHighlight)
        << i;
  }
  EXPECT_EQ(module_.TitleText, L"Velmor - TorvaneEx.xla");
  EXPECT_EQ(module_.Form1().Window().Caption(), L"Velmor - TorvaneEx.xla");
  EXPECT_TRUE(module_.Form1().Window().IsVisible());
  // The window is shown last, after every colour and the caption were set.
  EXPECT_EQ(host_.events.back(), L"Show");
  EXPECT_EQ(host_.events[host_.events.size() - 2], L"Caption Velmor - TorvaneEx.xla");
  EXPECT_TRUE(platform_.log.empty());
}

TEST_F(SetupStartup, WithoutArgumentChoosesTheFirstAddin) {
  Start(L"");
  EXPECT_EQ(module_.AddinIndex, 1);
  EXPECT_EQ(module_.Form1().Label1(0).ForeColor(), velmor::kButtonText);
  EXPECT_EQ(module_.Form1().Window().Caption(), L"Velmor - CordaleEx.xla");
}

TEST_F(SetupStartup, AnUnreadableArgumentIsReportedAndNoWindowAppears) {
  Start(L"/Ax");
  ASSERT_EQ(platform_.log.size(), 1u);
  const std::wstring& message = platform_.log[0];
  EXPECT_EQ(message.rfind(L"MsgBox[0|Velmor_Setup] ", 0), 0u);
  EXPECT_NE(message.find(L"/Ax"), std::wstring::npos);
  EXPECT_NE(message.find(L"/A1"), std::wstring::npos);
  EXPECT_NE(message.find(L"/A5"), std::wstring::npos);
  EXPECT_FALSE(module_.Form1().Window().IsLoaded());
  EXPECT_TRUE(host_.events.empty());
  EXPECT_EQ(module_.ExitCode(), setup::kExitBadArgument);
}

}  // namespace
