// Message texts shaped to fit on the screen, and the forms of long program paths.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LongPath.h"
#include "MessageText.h"

namespace {

using velmor::DisplayColumns;
using velmor::FitMessageText;
using velmor::kMessageLineColumns;
using velmor::kMessageParagraphColumns;

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(L'\n', start);
    lines.push_back(text.substr(start, end == std::wstring::npos ? end : end - start));
    if (end == std::wstring::npos) return lines;
    start = end + 1;
  }
}

void ExpectEveryLineFits(const std::wstring& text) {
  for (const std::wstring& line : Lines(text)) {
    EXPECT_LE(DisplayColumns(line), kMessageLineColumns) << line;
  }
}

// A folder path far beyond 260 characters, with long Japanese folder names.
std::wstring LongFolder() {
  std::wstring folder = L"C:\\dist";
  for (int i = 0; i < 6; ++i) {
    folder += L"\\ベルモア配布用フォルダー 経理部 アドイン インストール媒体 第" +
              std::to_wstring(i) + L"版 for the branch offices";
  }
  return folder;
}

TEST(MessageText, CountsFullWidthCharactersAsTwoColumns) {
  EXPECT_EQ(DisplayColumns(L""), 0u);
  EXPECT_EQ(DisplayColumns(L"abc \\"), 5u);
  EXPECT_EQ(DisplayColumns(L"ソフト展開完了！"), 16u);
  EXPECT_EQ(DisplayColumns(L"ｱｲｳ"), 3u);           // half-width kana
  EXPECT_EQ(DisplayColumns(L"\xD842\xDFB7"), 2u);  // one character beyond the BMP
}

TEST(MessageText, LeavesEveryTextThatFitsExactlyAsItIs) {
  for (const std::wstring& text :
       {std::wstring(L" ソフト展開完了！"),
        std::wstring(L"アドイン関数(TorvaneEx)を開放しました。"),
        std::wstring(L"コマンドライン引数「/Ax」は正しくありません。\n\nインストールするアドインは "
                     L"/A1 ～ /A5 "
                     L"の形で指定してください。\nセットアップを終了します。"),
        std::wstring(kMessageLineColumns, L'x'), std::wstring(kMessageLineColumns / 2, L'あ'),
        std::wstring(L"  two  spaces  \n\n  kept  "), std::wstring()}) {
    EXPECT_EQ(FitMessageText(text), text);
  }
}

TEST(MessageText, BreaksALongPathAfterBackslashesAndKeepsAllOfIt) {
  const std::wstring path = LongFolder() + L"\\vcredist_x86.exe";
  ASSERT_GT(DisplayColumns(path), 3 * kMessageLineColumns);
  const std::wstring text =
      L"インストーラーが正常に終了しませんでした。\n\n" + path + L"\n終了コード: 5";
  const std::wstring fitted = FitMessageText(text);
  ExpectEveryLineFits(fitted);
  const std::vector<std::wstring> lines = Lines(fitted);
  std::wstring joined;
  for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
    // Each broken line of the path ends at a folder boundary or at a space.
    if (i + 2 < lines.size()) {
      EXPECT_TRUE(lines[i].back() == L'\\' || text.find(lines[i] + L' ') != std::wstring::npos)
          << i;
    }
    joined += lines[i];
  }
  std::wstring pathWithoutBreakSpaces = path;
  std::erase(pathWithoutBreakSpaces, L' ');
  std::erase(joined, L' ');
  EXPECT_EQ(joined, pathWithoutBreakSpaces);  // nothing of the path is lost, only spaces at breaks
  EXPECT_EQ(lines.front(), L"インストーラーが正常に終了しませんでした。");
  EXPECT_EQ(lines.back(), L"終了コード: 5");
}

TEST(MessageText, BreaksJapaneseBetweenCharactersButNotBeforeClosingPunctuation) {
  std::wstring text;
  while (DisplayColumns(text) < 3 * kMessageLineColumns) text += L"インストールしています。";
  const std::wstring fitted = FitMessageText(text);
  ExpectEveryLineFits(fitted);
  std::wstring joined;
  for (const std::wstring& line : Lines(fitted)) {
    EXPECT_NE(line.front(), L'。');
    joined += line;
  }
  EXPECT_EQ(joined, text);
}

TEST(MessageText, BreaksAWordWithoutAnyBreakingPlaceWhereTheLineIsFull) {
  const std::wstring word(3 * kMessageLineColumns + 7, L'x');
  const std::vector<std::wstring> lines = Lines(FitMessageText(L"引数: " + word));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], L"引数:");  // broken at the space, which the line break replaces
  EXPECT_EQ(lines[1], std::wstring(kMessageLineColumns, L'x'));
  EXPECT_EQ(lines[4], std::wstring(7, L'x'));
}

TEST(MessageText, ShortensAHugeArgumentInTheMiddleKeepingBothEnds) {
  const std::wstring argument =
      L"/A" + std::wstring(15000, L'7') + std::wstring(15000, L'8') + L"Z";
  const std::wstring message =
      L"コマンドライン引数「" + argument + L"」は正しくありません。\n\n終わり";
  const std::wstring fitted = FitMessageText(message);
  ExpectEveryLineFits(fitted);
  EXPECT_LE(Lines(fitted).size(), kMessageParagraphColumns / kMessageLineColumns + 3);
  EXPECT_EQ(fitted.rfind(L"コマンドライン引数「/", 0), 0u);
  EXPECT_NE(fitted.find(L"A777"), std::wstring::npos);
  EXPECT_NE(fitted.find(L'\u2026'), std::wstring::npos);
  EXPECT_NE(fitted.find(L"888Z」は正しくありません。"), std::wstring::npos);
  EXPECT_EQ(fitted.substr(fitted.size() - 5), L"\n\n終わり");
}

TEST(MessageText, NeverSplitsASurrogatePair) {
  std::wstring text;
  for (int i = 0; i < 300; ++i) text += L"\xD842\xDFB7";
  const std::wstring fitted = FitMessageText(L"x" + text + text + text + text);
  for (std::size_t i = 0; i < fitted.size(); ++i) {
    if (fitted[i] == L'\n' || fitted[i] == L'\u2026') {
      EXPECT_FALSE(i > 0 && fitted[i - 1] >= 0xD800 && fitted[i - 1] <= 0xDBFF) << i;
    }
  }
  ExpectEveryLineFits(fitted);
}

TEST(LongPath, APathIsLongFromTwoHundredSixtyCharactersOn) {
  EXPECT_FALSE(velmor::IsLongPath(std::wstring(259, L'a')));
  EXPECT_TRUE(velmor::IsLongPath(std::wstring(260, L'a')));
}

TEST(LongPath, ExtendedLengthFormsOfDriveAndNetworkPaths) {
  EXPECT_EQ(velmor::ExtendedLengthPath(L"C:\\dist\\a.exe"), L"\\\\?\\C:\\dist\\a.exe");
  EXPECT_EQ(velmor::ExtendedLengthPath(L"\\\\server\\share\\a.exe"),
            L"\\\\?\\UNC\\server\\share\\a.exe");
  EXPECT_EQ(velmor::ExtendedLengthPath(L"\\\\?\\C:\\a.exe"), L"\\\\?\\C:\\a.exe");
  EXPECT_EQ(velmor::ExtendedLengthPath(L"relative\\a.exe"), L"relative\\a.exe");
  EXPECT_EQ(velmor::ExtendedLengthPath(L"\\\\.\\pipe\\x"), L"\\\\.\\pipe\\x");
  for (const wchar_t* path : {L"C:\\dist\\a.exe", L"\\\\server\\share\\a.exe"}) {
    EXPECT_EQ(velmor::WithoutExtendedPrefix(velmor::ExtendedLengthPath(path)), path);
  }
}

TEST(LongPath, TheReportNamesTheFolderAndSaysItsPathIsTooLong) {
  const std::wstring folder = LongFolder();
  const velmor::RuntimeError error = velmor::PathTooLongError(folder + L"\\vcredist_x86.exe");
  EXPECT_EQ(error.Number(), velmor::kErrorPathTooLong);
  EXPECT_EQ(error.Object(), folder);
  EXPECT_NE(error.Description().find(L"パスが長すぎる"), std::wstring::npos);
  // As the user sees it: every line fits, and the folder is there in full.
  const std::wstring shown = FitMessageText(velmor::FormatReport(error));
  ExpectEveryLineFits(shown);
  std::wstring joined = shown;
  std::erase(joined, L'\n');
  std::wstring compact = folder;
  std::erase(compact, L' ');
  std::erase(joined, L' ');
  EXPECT_NE(joined.find(compact), std::wstring::npos);
}

}  // namespace
