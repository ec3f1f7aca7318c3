// The Excel step against an Excel that is busy, ends under us or fails: which calls are tried
// again and for how long, which answers to Quit count as its end, and what the user is told.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>

#include "EventDispatch.h"
#include "ExcelTool.h"
#include "FakePlatform.h"
#include "setup/Module1.h"
#include "uninstall/Module1.h"

namespace {

using testing_support::FakePlatform;

constexpr std::uint32_t kRejected = 0x80010001u;
constexpr std::uint32_t kRetryLater = 0x8001010Au;
constexpr std::uint32_t kUnavailable = 0x800706BAu;
constexpr std::uint32_t kCallFailed = 0x800706BEu;
constexpr std::uint32_t kDisconnected = 0x80010108u;
constexpr std::uint32_t kExcelError = 0x800A03ECu;

const std::vector<std::wstring> kInstallCalls = {
    L"CreateObject Excel.Application",
    L"Excel.Application.Visible=True",
    L"Excel.Application.DisplayAlerts=False",
    L"Excel.Application.Workbooks",
    L"Workbooks.Open(C:\\Velmor\\Velmor_Tool.xls)",
    L"Excel.Application.Run(Addin_Install, C:\\Velmor, TorvaneEx)",
    L"Excel.Application.Workbooks",
    L"Workbooks.Close()",
    L"Excel.Application.Quit()",
};

class ExcelStep : public ::testing::Test {
 protected:
  ExcelStep() {
    platform_.files = {L"C:\\Velmor\\Velmor_Tool.xls", L"C:\\Velmor\\TorvaneEx.xla"};
    setup_.SetAddinNames();
    setup_.AddinIndex = 3;
  }

  // Runs the setup program's Excel step; the error it ends with, if any. Each run stands for a
  // program of its own: no Excel of an earlier one is left.
  std::optional<velmor::RuntimeError> Install() {
    platform_.log.clear();
    platform_.createdExcels.clear();
    try {
      EXPECT_TRUE(setup_.SetExcelAddin());
    } catch (const velmor::RuntimeError& error) {
      return error;
    }
    return std::nullopt;
  }

  // The calls Excel answered (and CreateObject), in order.
  std::vector<std::wstring> Answered() const {
    std::vector<std::wstring> lines;
    for (const auto& line : platform_.log) {
      if (line.rfind(L"Excel.", 0) == 0 || line.rfind(L"Workbooks.", 0) == 0 ||
          line.rfind(L"CreateObject", 0) == 0) {
        lines.push_back(line);
      }
    }
    return lines;
  }

  std::uint64_t PausedMs() const {
    std::uint64_t total = 0;
    for (const auto& line : platform_.Lines(L"Pause ")) total += std::stoul(line.substr(6));
    return total;
  }

  FakePlatform platform_;
  setup::Module1 setup_{platform_};
};

TEST_F(ExcelStep, TurnedAwayCallsAreTriedAgainAndEachRunsOnceWhenAnswered) {
  platform_.busyUntil = 3000;
  EXPECT_FALSE(Install().has_value());
  EXPECT_EQ(Answered(), kInstallCalls);
  // Visible is the first call; it meets the busy Excel until the clock reaches 3 s.
  const auto failed = platform_.Lines(L"Failed ");
  EXPECT_EQ(failed.size(), 12u);
  for (const auto& line : failed)
    EXPECT_EQ(line, L"Failed 0x80010001 Excel.Application.Visible=True");
  EXPECT_EQ(PausedMs(), 3000u);
  EXPECT_EQ(platform_.log.back(), L"Release Excel.Application");

  // Both codes of a busy server count, anywhere in the sequence, also when creating Excel.
  platform_.now = platform_.busyUntil = 0;
  platform_.memberFailures[L"CreateObject"] = {kRejected};
  platform_.memberFailures[L"Open"] = {kRetryLater, kRejected};
  platform_.memberFailures[L"Quit"] = {kRetryLater};
  EXPECT_FALSE(Install().has_value());
  EXPECT_EQ(Answered(), kInstallCalls);
  EXPECT_EQ(platform_.Lines(L"Failed ").size(), 4u);
  EXPECT_EQ(PausedMs(), 4u * velmor::kBusyPauseMs);
}

TEST_F(ExcelStep, AfterSixtySecondsOfRefusalTheCallIsReportedInPlainWords) {
  platform_.busyUntil = 3600000;
  const auto error = Install();
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), kRejected);
  EXPECT_EQ(error->Object(), L"Excel.Application.Visible");
  EXPECT_NE(error->Description().find(L"60 秒"), std::wstring::npos);
  EXPECT_EQ(platform_.now, velmor::kBusyLimitMs);  // the last attempt is made at the limit
  EXPECT_EQ(Answered(), (std::vector<std::wstring>{L"CreateObject Excel.Application"}));

  const std::wstring report = velmor::FormatReport(*error);
  EXPECT_NE(report.find(L"0x80010001"), std::wstring::npos);
  EXPECT_NE(report.find(L"Excel.Application.Visible"), std::wstring::npos);
  EXPECT_EQ(report.find(L"system text"), std::wstring::npos);
}

TEST_F(ExcelStep, TheLimitCountsFromEachCallsFirstAttempt) {
  // Visible waits 50 s, then Open is turned away for another 50 s: neither call reaches 60 s.
  platform_.busyUntil = 50000;
  platform_.memberFailures[L"Open"] = std::deque<std::uint32_t>(200, kRetryLater);
  EXPECT_FALSE(Install().has_value());
  EXPECT_EQ(Answered(), kInstallCalls);
  EXPECT_EQ(platform_.now, 100000u);
}

TEST_F(ExcelStep, OtherFailuresAreNotTriedAgain) {
  for (const std::uint32_t number : {kExcelError, kCallFailed, kDisconnected, kUnavailable,
                                     0x80020009u /* DISP_E_EXCEPTION */, 0x80004005u}) {
    platform_.memberFailures[L"Run"] = {number};
    const auto error = Install();
    ASSERT_TRUE(error.has_value()) << std::hex << number;
    EXPECT_EQ(error->Number(), number);
    EXPECT_EQ(error->Object(), L"Excel.Application.Run");
    EXPECT_TRUE(platform_.Lines(L"Pause").empty());
    EXPECT_EQ(platform_.Lines(L"Failed").size(), 1u);
  }
}

TEST_F(ExcelStep, AfterAFailureExcelClosesItsWorkbooksAndQuitsIfItStillAnswers) {
  const std::vector<std::wstring> closeAndQuit = {
      L"Excel.Application.Workbooks", L"Workbooks.Close()", L"Excel.Application.Quit()"};
  struct Case {
    const char* what;
    std::map<std::wstring, std::deque<std::uint32_t>> failures;
    std::wstring reported;           // the call the report names
    std::uint32_t number;            // and its failure
    std::vector<std::wstring> then;  // the calls made after the failure, each once
  };
  const Case cases[] = {
      {"the first call",
       {{L"Visible", {0x80004005u}}},
       L"Excel.Application.Visible",
       0x80004005u,
       closeAndQuit},
      {"the workbook", {{L"Open", {kExcelError}}}, L"Workbooks.Open", kExcelError, closeAndQuit},
      {"the macro", {{L"Run", {kExcelError}}}, L"Excel.Application.Run", kExcelError, closeAndQuit},
      {"closing", {{L"Close", {kExcelError}}}, L"Workbooks.Close", kExcelError, closeAndQuit},
      {"Excel gone", {{L"Run", {kCallFailed}}}, L"Excel.Application.Run", kCallFailed, {}},
      // Failures while closing never take the place of the one reported.
      {"closing fails too",
       {{L"Run", {kExcelError}}, {L"Close", {kExcelError}}},
       L"Excel.Application.Run",
       kExcelError,
       {L"Excel.Application.Workbooks", L"Failed 0x800A03EC Workbooks.Close()",
        L"Excel.Application.Quit()"}},
      {"Excel gone while quitting",
       {{L"Run", {kExcelError}}, {L"Quit", {kDisconnected}}},
       L"Excel.Application.Run",
       kExcelError,
       {L"Excel.Application.Workbooks", L"Workbooks.Close()",
        L"Failed 0x80010108 Excel.Application.Quit()"}},
  };
  for (const Case& c : cases) {
    platform_.memberFailures = c.failures;
    const auto error = Install();
    ASSERT_TRUE(error.has_value()) << c.what;
    EXPECT_EQ(error->Object(), c.reported) << c.what;
    EXPECT_EQ(error->Number(), c.number) << c.what;
    std::vector<std::wstring> then;
    const auto failed =
        std::find_if(platform_.log.begin(), platform_.log.end(),
                     [](const std::wstring& line) { return line.rfind(L"Failed ", 0) == 0; });
    for (auto line = failed + 1; line != platform_.log.end(); ++line) {
      if (line->rfind(L"Excel.", 0) == 0 || line->rfind(L"Workbooks.", 0) == 0 ||
          line->rfind(L"Failed ", 0) == 0) {
        then.push_back(*line);
      }
    }
    EXPECT_EQ(then, c.then) << c.what;
    EXPECT_TRUE(platform_.Lines(L"Pause").empty()) << c.what;
    EXPECT_EQ(platform_.log.back(), L"Release Excel.Application") << c.what;
  }
}

// The user waits for the clean-up before the report: a busy Excel is waited for a few seconds in
// all, not for the step's minute, and the report is the failure's.
TEST_F(ExcelStep, AfterAFailureABusyExcelIsWaitedForAFewSecondsAtMost) {
  const std::uint64_t limit = velmor::kCleanUpBusyLimitMs;
  struct Case {
    const char* what;
    std::deque<std::uint32_t> close;  // what Workbooks.Close meets, one attempt after the other
    std::deque<std::uint32_t> quit;
    std::uint64_t waitedMs;
    bool quitAnswered;
  };
  const Case cases[] = {
      {"busy for a second", std::deque<std::uint32_t>(4, kRejected), {}, 1000, true},
      {"busy beyond the limit", std::deque<std::uint32_t>(1000, kRetryLater), {}, limit, false},
      {"closing takes most of it, Quit the rest", std::deque<std::uint32_t>(19, kRejected),
       std::deque<std::uint32_t>(1000, kRejected), limit, false},
  };
  for (const Case& c : cases) {
    platform_.now = 0;
    platform_.memberFailures = {{L"Run", {kExcelError}}, {L"Close", c.close}, {L"Quit", c.quit}};
    const auto error = Install();
    ASSERT_TRUE(error.has_value()) << c.what;
    EXPECT_EQ(error->Object(), L"Excel.Application.Run") << c.what;
    EXPECT_EQ(error->Number(), kExcelError) << c.what;
    EXPECT_EQ(platform_.now, c.waitedMs) << c.what;
    EXPECT_EQ(platform_.Lines(L"Excel.Application.Quit()").empty(), !c.quitAnswered) << c.what;
  }
}

TEST_F(ExcelStep, AnExcelGoneDuringQuitIsItsEndAndNothingElse) {
  for (const std::uint32_t number : {kUnavailable, kCallFailed, kDisconnected}) {
    platform_.memberFailures[L"Quit"] = {number};
    EXPECT_FALSE(Install().has_value()) << std::hex << number;
    EXPECT_EQ(platform_.log.back(), L"Release Excel.Application");
  }
  // Any other failure of Quit, and a gone Excel at any other call, stay failures.
  platform_.memberFailures[L"Quit"] = {kExcelError};
  EXPECT_TRUE(Install().has_value());
  for (const wchar_t* member : {L"Visible", L"Workbooks", L"Close"}) {
    platform_.memberFailures[member] = {kCallFailed};
    const auto error = Install();
    ASSERT_TRUE(error.has_value()) << member;
    EXPECT_EQ(error->Number(), kCallFailed);
    EXPECT_TRUE(platform_.Lines(L"Excel.Application.Quit").empty());
  }
}

TEST_F(ExcelStep, CommonFailuresAreToldInOurWordsWithTheirNumberAndCall) {
  platform_.memberFailures[L"Open"] = {kDisconnected};
  auto error = Install();
  ASSERT_TRUE(error.has_value());
  std::wstring report = velmor::FormatReport(*error);
  EXPECT_NE(report.find(L"0x80010108"), std::wstring::npos);
  EXPECT_NE(report.find(L"Workbooks.Open"), std::wstring::npos);
  EXPECT_NE(report.find(L"接続が途中で切れました"), std::wstring::npos);

  // Excel cannot be created: the known causes in their own words, any other as Excel not
  // starting, with what to check. The number stays.
  const struct {
    std::uint32_t number;
    const wchar_t* words;
  } creationFailures[] = {
      {0x800401F3u, L"Excel が見つかりませんでした。"},           // CO_E_CLASSSTRING
      {0x80040154u, L"正しくインストールされていない可能性"},     // REGDB_E_CLASSNOTREG
      {0x80080005u, L"起動している Excel をすべて終了してから"},  // CO_E_SERVER_EXEC_FAILURE
      {0x80040152u, L"Excel をスタート メニューから起動できるかどうか"},  // REGDB_E_KEYMISSING
      {0x80004002u, L"Excel を起動できませんでした。"},  // E_NOINTERFACE: the class never offered
      {0x80070005u, L"Excel を修復するかインストールし直してから"},  // E_ACCESSDENIED
  };
  for (const auto& failure : creationFailures) {
    platform_.memberFailures[L"CreateObject"] = {failure.number};
    error = Install();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Number(), failure.number);
    EXPECT_NE(error->Description().find(failure.words), std::wstring::npos)
        << velmor::FormatErrorNumber(failure.number);
    EXPECT_EQ(error->Object(), L"Excel.Application");
  }

  // A failure we have no words for, once Excel runs, keeps the system's or the server's own.
  platform_.memberFailures[L"Run"] = {kExcelError};
  error = Install();
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Description(), L"system text");
}

TEST(ExcelWatch, AnOpenExcelIsReportedAndOurOwnEndingOneIsWaitedForBriefly) {
  const std::wstring openMessage =
      L"MsgBox[0|Velmor_Setup] " + std::wstring(velmor::kExcelOpenMessage);
  struct Case {
    const char* what;
    std::set<std::uint32_t> user;  // Excels the user has open
    std::uint64_t ourEndMs;        // how long the Excel of the previous click takes to end
    bool reported;
    std::uint64_t waitedMs;
  };
  const Case cases[] = {
      {"none", {}, 0, false, 0},
      {"the user's", {7}, 0, true, 0},
      {"the user's, hidden or not, two of them", {7, 9}, 0, true, 0},
      {"ours, ending in 3 s", {}, 3000, false, 3000},
      {"ours, not ending", {}, 3600000, true, velmor::kOwnExcelEndLimitMs},
      {"ours, ending, and the user's", {7}, 3000, true, 0},
  };
  for (const Case& c : cases) {
    FakePlatform platform;
    platform.files = {L"C:\\Velmor\\Velmor_Tool.xls", L"C:\\Velmor\\TorvaneEx.xla"};
    platform.excelEndMs = c.ourEndMs;
    setup::Module1 setup(platform);
    setup.SetAddinNames();
    setup.AddinIndex = 3;
    ASSERT_TRUE(setup.SetExcelAddin()) << c.what;  // the previous click
    platform.userExcels = c.user;
    platform.log.clear();
    const std::uint64_t before = platform.now;

    EXPECT_EQ(setup.SetExcelAddin(), !c.reported) << c.what;
    EXPECT_EQ(platform.now - before, c.waitedMs) << c.what;
    EXPECT_EQ(platform.Lines(L"MsgBox"),
              c.reported ? std::vector<std::wstring>{openMessage} : std::vector<std::wstring>{})
        << c.what;
    EXPECT_EQ(platform.Lines(L"CreateObject").size(), c.reported ? 0u : 1u) << c.what;
  }
}

class UninstallWithExcel : public ::testing::Test {
 protected:
  UninstallWithExcel() {
    platform_.title = L"UnInstall";
    platform_.appPath = L"C:\\Velmor";
    platform_.files = {L"C:\\Velmor\\Velmor_Tool.xls", L"C:\\Velmor\\TorvaneEx.xla"};
    module_.SetAddinNames();
  }
  // The Start button as the program runs it: an error ends in the report.
  bool Release() {
    platform_.log.clear();
    return velmor::RunEventHandler(platform_, [this] { module_.ReleaseAddin(3); });
  }

  FakePlatform platform_;
  uninstall::Module1 module_{platform_};
};

TEST_F(UninstallWithExcel, TheFileStaysUnlessTheMacroReturned) {
  platform_.memberFailures[L"Run"] = {kCallFailed};
  EXPECT_FALSE(Release());
  EXPECT_TRUE(platform_.Lines(L"RemoveFile").empty());
  EXPECT_EQ(platform_.files.count(L"C:\\Velmor\\TorvaneEx.xla"), 1u);
  const auto boxes = platform_.Lines(L"MsgBox");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(L"Excel.Application.Run"), std::wstring::npos);
  EXPECT_NE(boxes[0].find(L"接続が途中で切れました"), std::wstring::npos);
}

TEST_F(UninstallWithExcel, AnExcelGoneDuringQuitStillEndsWithTheReleaseMessage) {
  platform_.memberFailures[L"Quit"] = {kDisconnected};
  platform_.busyUntil = 1000;
  EXPECT_TRUE(Release());
  EXPECT_EQ(platform_.files.count(L"C:\\Velmor\\TorvaneEx.xla"), 0u);
  EXPECT_EQ(platform_.Lines(L"RemoveFile").size(), 1u);
  EXPECT_EQ(platform_.log.back(), L"MsgBox[0|UnInstall] アドイン関数(TorvaneEx)を開放しました。");
}

}  // namespace
