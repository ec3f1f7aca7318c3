// The add-in catalogue, removing a file through the platform, and the run-time error report.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <new>
#include <stdexcept>

#include "EventDispatch.h"
#include "FakePlatform.h"
#include "FormModel.h"
#include "InternalFailure.h"
#include "MessageText.h"
#include "NumberText.h"
#include "Ownership.h"
#include "RuntimeError.h"
#include "SharedModule.h"
#include "Utf8.h"
#include "setup/Module1.h"
#include "uninstall/Module1.h"

namespace {

using testing_support::FakePlatform;

TEST(AddinCatalogue, HoldsFiveNamesInRowsOneToFiveAndNothingElse) {
  FakePlatform platform;
  velmor::SharedModule module(platform);
  module.SetAddinNames();
  module.SetAddinNames();  // a second call writes the same values
  EXPECT_EQ(module.AddinNames(1), L"CordaleEx");
  EXPECT_EQ(module.AddinNames(2), L"BriselEx");
  EXPECT_EQ(module.AddinNames(3), L"TorvaneEx");
  EXPECT_EQ(module.AddinNames(4), L"MalvixEx");
  EXPECT_EQ(module.AddinNames(5), L"QuillonEx");
  for (std::int16_t row = 6; row <= 10; ++row) EXPECT_EQ(module.AddinNames(row), L"") << row;
  EXPECT_THROW(module.AddinNames(0), velmor::RuntimeError);
  EXPECT_THROW(module.AddinNames(11), velmor::RuntimeError);
}

TEST(RemoveFile, PassesAFailureOnInsteadOfAnsweringFalse) {
  FakePlatform platform;
  velmor::SharedModule module(platform);
  platform.files = {L"C:\\Velmor\\a.xla"};
  EXPECT_NO_THROW(module.RemoveFile(L"C:\\Velmor\\a.xla"));
  EXPECT_THROW(module.RemoveFile(L"C:\\Velmor\\a.xla"), velmor::RuntimeError);
}

// Both programs at the one step that leads to Excel: setup's Excel step for CordaleEx, and the
// release of CordaleEx with the uninstall program in C:\Velmor. True when Excel was started.
bool ReachesExcel(FakePlatform& platform, bool setupProgram) {
  platform.files = {L"C:\\Velmor\\Velmor_Tool.xls", L"C:\\Velmor\\CordaleEx.xla"};
  platform.appPath = L"C:\\Velmor";
  if (setupProgram) {
    setup::Module1 module(platform);
    platform.commandLine = L"/A1";
    module.Main();
    static_cast<void>(module.SetExcelAddin());
  } else {
    uninstall::Module1 module(platform);
    module.Main();
    module.ReleaseAddin(1);
  }
  return !platform.Lines(L"CreateObject").empty();
}

// A link on the way to the tool workbook or the add-in file is followed when the program's own
// account laid it, or the Administrators group (an administrator working with full rights), the
// system or the Windows installer service; any other owner, or one that cannot be read, stops
// either program before Excel starts, with a message naming where the link is.
TEST(LinkOwners, AnotherOrdinaryAccountsLinkStopsEitherProgramBeforeExcel) {
  const std::wstring self = L"S-1-5-21-7-7-7-1001";
  const std::wstring other = L"S-1-5-21-7-7-7-1002";
  const std::wstring administrators = velmor::kAdministratorsAccount;
  const struct {
    const wchar_t* path;  // the path whose way meets the links
    std::vector<velmor::PathLink> links;
    bool followed;
  } cases[] = {
      {L"C:\\Velmor\\CordaleEx.xla", {{L"C:\\Velmor", self}}, true},
      {L"C:\\Velmor\\Velmor_Tool.xls", {{L"C:\\Velmor", administrators}}, true},
      {L"C:\\Velmor\\CordaleEx.xla",
       {{L"C:\\Velmor\\CordaleEx.xla", velmor::kSystemAccount}},
       true},
      {L"C:\\Velmor\\Velmor_Tool.xls", {{L"C:\\Velmor", velmor::kTrustedInstallerAccount}}, true},
      {L"C:\\Velmor\\CordaleEx.xla", {{L"C:\\Velmor", other}}, false},
      {L"C:\\Velmor\\Velmor_Tool.xls", {{L"C:\\Velmor\\Velmor_Tool.xls", other}}, false},
      // An administrator's link to a place where another account laid a link in turn.
      {L"C:\\Velmor\\CordaleEx.xla",
       {{L"C:\\Velmor", administrators}, {L"D:\\Shared\\Velmor", other}},
       false},
      {L"C:\\Velmor\\CordaleEx.xla", {{L"C:\\Velmor", L""}}, false},  // an owner not readable
      {L"C:\\Velmor\\CordaleEx.xla", {{L"C:\\Velmor", L"S-1-5-32-545"}}, false},  // Users: anyone
  };
  for (const auto& c : cases) {
    for (const bool setupProgram : {true, false}) {
      FakePlatform platform;
      platform.programAccount = self;
      platform.links[c.path] = c.links;
      platform.title = setupProgram ? L"Velmor_Setup" : L"UnInstall";
      const std::string what =
          velmor::Utf8FromWide(platform.title + L" " + c.path + L" " + c.links.back().path + L" " +
                               c.links.back().owner);
      EXPECT_EQ(ReachesExcel(platform, setupProgram), c.followed) << what;
      if (c.followed) continue;
      EXPECT_EQ(platform.Lines(L"MsgBox"),
                std::vector<std::wstring>{L"MsgBox[0|" + platform.title + L"] " +
                                          velmor::UntrustedLinkMessage(c.links.back().path)})
          << what;
    }
  }
}

// Either program started as another account than the desktop's tells for which account it would
// have worked, shows no window and asks nothing more of the platform. The same account, elevated
// or not, and a desktop without a shell go on.
TEST(DesktopAccount, EitherProgramStartedAsAnotherAccountSaysSoAndShowsNoWindow) {
  const std::wstring self = L"S-1-5-21-7-7-7-500";
  const struct {
    std::optional<std::wstring> desktop;
    bool goesOn;
  } cases[] = {
      {self, true},                     // the user, elevated or not
      {std::nullopt, true},             // no shell
      {L"S-1-5-21-7-7-7-1001", false},  // the user at the desk, setup run as the administrator
      {L"", false},                     // a shell whose account may not be read: another's
  };
  for (const auto& c : cases) {
    for (const bool setupProgram : {true, false}) {
      FakePlatform platform;
      platform.programAccount = self;
      platform.desktopAccount = c.desktop;
      platform.commandLine = L"/A2";
      platform.title = setupProgram ? L"Velmor_Setup" : L"UnInstall";
      setup::Module1 setupModule(platform);
      uninstall::Module1 uninstallModule(platform);
      velmor::Form& form =
          setupProgram ? setupModule.Form1().Window() : uninstallModule.Form1().Window();
      setupProgram ? setupModule.Main() : uninstallModule.Main();
      const int exitCode = setupProgram ? setupModule.ExitCode() : uninstallModule.ExitCode();
      const std::wstring message = setupProgram
                                       ? velmor::SetupOtherAccountMessage(L"PC\\" + self)
                                       : velmor::UninstallOtherAccountMessage(L"PC\\" + self);
      const std::string what = velmor::Utf8FromWide(c.desktop.value_or(L"(no shell)"));
      EXPECT_EQ(form.IsVisible(), c.goesOn) << what;
      EXPECT_EQ(exitCode, c.goesOn ? 0 : velmor::kExitOtherAccount) << what;
      EXPECT_EQ(platform.log, c.goesOn ? std::vector<std::wstring>{}
                                       : std::vector<std::wstring>{L"MsgBox[0|" + platform.title +
                                                                   L"] " + message})
          << what;
    }
  }
}

TEST(RuntimeErrorReport, NamesNumberDescriptionOperationAndObject) {
  const velmor::RuntimeError error(0x800401F3, L"Invalid class string",
                                   L"オートメーション オブジェクトの作成", L"Excel.Application");
  const std::wstring report = velmor::FormatReport(error);
  EXPECT_NE(report.find(L"0x800401F3"), std::wstring::npos);
  EXPECT_NE(report.find(L"Invalid class string"), std::wstring::npos);
  EXPECT_NE(report.find(L"Excel.Application"), std::wstring::npos);
  EXPECT_NE(report.find(L"オートメーション オブジェクトの作成"), std::wstring::npos);
  EXPECT_EQ(velmor::FormatErrorNumber(53), L"53");
}

// The numbers are written out by hand rather than by printf; the edges are where such code slips.
// An error a server raised without words of its own gets the system's words only when its number
// is one of the system's own; any other number would get an unrelated message.
TEST(RuntimeErrorReport, TheSystemsWordsOnlyForTheSystemsOwnNumbers) {
  const struct {
    std::uint32_t number;
    bool system;
  } cases[] = {
      {0, false},            // no number at all ("Success" is no description of an error)
      {1004, false},         // a server's own code ("Invalid flags" for Win32)
      {0x000003ECu, false},  // the same written as a code
      {0x00000001u, false},  // a success code
      {0x800A03ECu, false},  // FACILITY_CONTROL: an Office run-time error
      {0x80040200u, false},  // FACILITY_ITF, the interface's own range
      {0x80040154u, true},   // FACILITY_ITF, COM's own range: REGDB_E_CLASSNOTREG
      {0x80004005u, true},   // E_FAIL
      {0x80020005u, true},   // DISP_E_TYPEMISMATCH
      {0x80070005u, true},   // E_ACCESSDENIED
      {0x800706BAu, true},   // RPC_S_SERVER_UNAVAILABLE
  };
  for (const auto& c : cases) {
    EXPECT_EQ(velmor::IsSystemHresult(c.number), c.system) << velmor::FormatErrorNumber(c.number);
  }
  EXPECT_EQ(velmor::UndescribedServerError(L"Excel", 1004),
            L"Excel からエラー 1004 が報告されました。このエラーの説明は見つかりませんでした。");
  EXPECT_EQ(velmor::UndescribedServerError(L"Microsoft Excel", 0x800A03ECu),
            L"Microsoft Excel からエラー 0x800A03EC が報告されました。"
            L"このエラーの説明は見つかりませんでした。");
}

TEST(NumberText, DecimalAndHexadecimalAtTheirEdges) {
  EXPECT_EQ(velmor::DecimalText(0), L"0");
  EXPECT_EQ(velmor::DecimalText(7), L"7");
  EXPECT_EQ(velmor::DecimalText(-1), L"-1");
  EXPECT_EQ(velmor::DecimalText(65535), L"65535");
  EXPECT_EQ(velmor::DecimalText(INT64_MIN), L"-9223372036854775808");
  EXPECT_EQ(velmor::DecimalText(INT64_MAX), L"9223372036854775807");
  EXPECT_EQ(velmor::HexText8(0), L"0x00000000");
  EXPECT_EQ(velmor::HexText8(0x800706BA), L"0x800706BA");
  EXPECT_EQ(velmor::HexText8(0xFFFFFFFF), L"0xFFFFFFFF");

  // The report switches from decimal to hexadecimal where Win32 codes end and HRESULTs begin.
  EXPECT_EQ(velmor::FormatErrorNumber(0), L"0");
  EXPECT_EQ(velmor::FormatErrorNumber(0xFFFF), L"65535");
  EXPECT_EQ(velmor::FormatErrorNumber(0x10000), L"0x00010000");
  EXPECT_EQ(velmor::ControlDisplayName(L"Label1", 4), L"Label1(4)");
  EXPECT_EQ(velmor::ControlDisplayName(L"Check1", velmor::kNoIndex), L"Check1");
}

TEST(EventDispatch, ReportsAnyEscapingErrorUnderTheProgramTitleAndAsksToEnd) {
  FakePlatform platform;
  EXPECT_TRUE(velmor::RunEventHandler(platform, [] {}));
  EXPECT_TRUE(platform.log.empty());

  EXPECT_FALSE(velmor::RunEventHandler(platform, [] {
    throw velmor::RuntimeError(32, L"The file is in use", L"ファイルの削除", L"C:\\Velmor\\x.xla");
  }));
  ASSERT_EQ(platform.log.size(), 1u);
  EXPECT_EQ(platform.log[0].rfind(L"MsgBox[0|Velmor_Setup] ", 0), 0u);
  EXPECT_NE(platform.log[0].find(L"C:\\Velmor\\x.xla"), std::wstring::npos);

  // A failure from inside gets the number and words of its kind (0 would read as no error), then
  // the library's own text for support.
  const struct {
    std::function<void()> fail;
    const wchar_t* report;
  } internal[] = {
      {[] { throw std::bad_alloc(); },
       L"実行時エラー '7':\n\nメモリが不足しています。（内部エラー: std::bad_alloc）\n"},
      {[] { throw velmor::InternalFailure(velmor::InternalFailureKind::kTooLarge, "vector"); },
       L"実行時エラー '6':\n\nオーバーフローしました。（内部エラー: vector）\n"},
      {[] { throw velmor::InternalFailure(velmor::InternalFailureKind::kOutOfRange, "at"); },
       L"実行時エラー '9':\n\nインデックスが有効範囲にありません。（内部エラー: at）\n"},
      {[] { throw std::out_of_range("row 0"); },
       L"実行時エラー '5':\n\nプロシージャの呼び出し、または引数が不正です。（内部エラー: row "
       L"0）\n"},
      {[] { throw 42; },
       L"実行時エラー '5':\n\nプロシージャの呼び出し、または引数が不正です。\n\n処理: "},
  };
  for (const auto& c : internal) {
    EXPECT_FALSE(velmor::RunEventHandler(platform, c.fail));
    EXPECT_NE(platform.log.back().find(c.report), std::wstring::npos) << platform.log.back();
  }

  // A library's text in UTF-8 reaches the report as the characters it spells.
  EXPECT_FALSE(velmor::RunEventHandler(
      platform, [] { throw std::runtime_error("\xE8\xA1\x8C 0 \xC3\xA9"); }));
  EXPECT_NE(platform.log.back().find(L"行 0 é"), std::wstring::npos) << platform.log.back();
}

TEST(Utf8, RoundTripsEveryPlaneAndReplacesWhatIsMalformed) {
  const std::wstring text = L"a\u00E9\u884C\U0001F600z";
  const std::string bytes = "a\xC3\xA9\xE8\xA1\x8C\xF0\x9F\x98\x80z";
  EXPECT_EQ(velmor::Utf8FromWide(text), bytes);
  EXPECT_EQ(velmor::WideFromUtf8(bytes), text);
  EXPECT_EQ(velmor::WideFromUtf8(""), L"");

  // A stray continuation byte, a cut-off sequence, an overlong form and an encoded surrogate each
  // stand as one replacement; the text around them survives.
  EXPECT_EQ(velmor::WideFromUtf8("x\x80y"), L"x\uFFFDy");
  EXPECT_EQ(velmor::WideFromUtf8("x\xE8\xA1"), L"x\uFFFD");
  EXPECT_EQ(velmor::WideFromUtf8("\xE8\xA1x"), L"\uFFFDx");
  EXPECT_EQ(velmor::WideFromUtf8("\xC0\xAF"), L"\uFFFD");
  EXPECT_EQ(velmor::WideFromUtf8("\xED\xA0\x80"), L"\uFFFD");
  EXPECT_EQ(velmor::WideFromUtf8("\xFF"), L"\uFFFD");
}

}  // namespace
