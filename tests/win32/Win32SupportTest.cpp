// The small helpers every executable shares: the program's own path, names compared as Windows
// compares them, the Wine check and the words for an error code.

#include <gtest/gtest.h>

#include "DescribeError.h"
#include "Win32Support.h"

namespace {

using namespace velmor::win32;

TEST(Win32Support, KnowsTheProgramsOwnPathAndItsParts) {
  const std::wstring path = ModuleFileName();
  EXPECT_TRUE(EqualsIgnoringCase(FileNameOf(path), L"win32_tests.exe"))
      << testing::PrintToString(path);
  EXPECT_EQ(path.find(L":\\"), 1u);  // a full path with a drive
  EXPECT_EQ(FileNameOf(L"C:\\Velmor\\UnInstall.exe"), L"UnInstall.exe");
  EXPECT_EQ(FileNameOf(L"UnInstall.exe"), L"UnInstall.exe");
  EXPECT_TRUE(RunningUnderWine());  // these tests run only under Wine
}

TEST(Win32Support, ComparesNamesIgnoringCaseWithNoLocalesRules) {
  EXPECT_TRUE(EqualsIgnoringCase(L"C:\\Velmor\\TorvaneEx.XLA", L"c:\\velmor\\torvaneex.xla"));
  EXPECT_TRUE(EqualsIgnoringCase(L"", L""));
  EXPECT_FALSE(EqualsIgnoringCase(L"OPEN1", L"OPEN"));
  EXPECT_FALSE(EqualsIgnoringCase(L"ＯＰＥＮ", L"OPEN"));  // full-width letters are other letters
  EXPECT_TRUE(EqualsIgnoringCase(L"ｏｐｅｎ", L"ＯＰＥＮ"));
}

TEST(Win32Support, DescribesAnErrorByNumberAndWords) {
  const std::wstring text = DescribeError(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(text.rfind(L"error 2: ", 0), 0u) << testing::PrintToString(text);
  EXPECT_GT(text.size(), 9u);
  EXPECT_NE(text.back(), L'.');
}

}  // namespace
