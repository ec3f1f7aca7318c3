// The words a report gives for a failure code: the system's own, without their line break, and a
// fixed sentence for a code the system has no words for.

#include <windows.h>

#include <gtest/gtest.h>

#include "ErrorText.h"

namespace {

using velmor::win32::ComError;
using velmor::win32::SystemErrorText;
using velmor::win32::Win32Error;

bool EndsInSpaceOrBreak(const std::wstring& text) {
  return !text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ');
}

TEST(ErrorText, SystemWordsComeWithoutTheTrailingLineBreak) {
  for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
    const std::wstring text = SystemErrorText(code);
    EXPECT_FALSE(text.empty()) << code;
    EXPECT_FALSE(EndsInSpaceOrBreak(text)) << code;
  }
  EXPECT_NE(SystemErrorText(ERROR_FILE_NOT_FOUND), SystemErrorText(ERROR_ACCESS_DENIED));
}

TEST(ErrorText, ACodeTheSystemHasNoWordsForStillGetsASentence) {
  const std::wstring unknown = SystemErrorText(0x2000FFFFu);
  EXPECT_FALSE(unknown.empty());
  EXPECT_FALSE(EndsInSpaceOrBreak(unknown));
  EXPECT_NE(unknown, SystemErrorText(ERROR_FILE_NOT_FOUND));
}

// The report's operation line names the system call that failed after our words for the work.
TEST(ErrorText, ErrorsCarryCodeWordsOperationWithTheCallAndObject) {
  const velmor::RuntimeError win32 =
      Win32Error(ERROR_ACCESS_DENIED, L"DeleteFileW", L"ファイルの削除", L"C:\\a");
  EXPECT_EQ(win32.Number(), static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(win32.Description(), SystemErrorText(ERROR_ACCESS_DENIED));
  EXPECT_EQ(win32.Operation(), L"ファイルの削除（DeleteFileW）");
  EXPECT_EQ(win32.Object(), L"C:\\a");

  const velmor::RuntimeError com = ComError(static_cast<HRESULT>(0x800401F3u), L"CLSIDFromProgID",
                                            L"作成", L"Excel.Application");
  EXPECT_EQ(com.Number(), 0x800401F3u);
  EXPECT_EQ(com.Description(), SystemErrorText(0x800401F3u));
  EXPECT_EQ(com.Operation(), L"作成（CLSIDFromProgID）");
  EXPECT_EQ(com.Object(), L"Excel.Application");
  EXPECT_NE(velmor::FormatReport(com).find(L"処理: 作成（CLSIDFromProgID）"), std::wstring::npos);
}

}  // namespace
