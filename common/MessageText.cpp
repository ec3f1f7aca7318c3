#include "MessageText.h"

#include <cstdint>
#include <vector>

namespace velmor {
namespace {

constexpr wchar_t kEllipsis = L'\u2026';

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Length in code units of the character that starts at text[i].
std::size_t CharLength(std::wstring_view text, std::size_t i) {
  return (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ? 2 : 1;
}

bool IsWide(std::wstring_view text, std::size_t i) {
  const auto c = static_cast<std::uint32_t>(text[i]);
  if (CharLength(text, i) == 2 || c > 0xFFFF) return true;  // beyond the BMP: CJK or pictographs
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6);
}

std::size_t Columns(std::wstring_view text, std::size_t i) { return IsWide(text, i) ? 2 : 1; }

// Characters that a line should not start with, and ones it should not end with (Japanese line
// breaking rules, the common part).
bool MustNotStartLine(wchar_t c) {
  return std::wstring_view(
             L"、。，．・：；？！ー）」』】〉》〕ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ々")
             .find(c) != std::wstring_view::npos;
}
bool MustNotEndLine(wchar_t c) {
  return std::wstring_view(L"（「『【〈《〔").find(c) != std::wstring_view::npos;
}

// Whether a line may end before text[i] (i > 0, at a character boundary).
bool MayBreakBefore(std::wstring_view text, std::size_t i) {
  const wchar_t before = text[i - 1];
  const wchar_t after = text[i];
  if (after == L' ' || before == L' ') return true;
  if (before == L'\\' || before == L'/') return true;
  const std::size_t previous =
      (i >= 2 && IsLowSurrogate(before) && IsHighSurrogate(text[i - 2])) ? i - 2 : i - 1;
  if (!IsWide(text, previous) && !IsWide(text, i)) return false;
  return !MustNotStartLine(after) && !MustNotEndLine(before);
}

// A break at a space or after a folder separator.
bool IsStrongBreakBefore(std::wstring_view text, std::size_t i) {
  return text[i] == L' ' || text[i - 1] == L' ' || text[i - 1] == L'\\' || text[i - 1] == L'/';
}

// The start of each character of text, and text.size() at the end.
std::vector<std::size_t> CharStarts(std::wstring_view text) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) starts.push_back(i);
  starts.push_back(text.size());
  return starts;
}

// The first characters of text that fill at most `columns` columns, as a length in code units.
std::size_t HeadLength(std::wstring_view text, std::size_t columns) {
  std::size_t i = 0;
  std::size_t used = 0;
  while (i < text.size() && used + Columns(text, i) <= columns) {
    used += Columns(text, i);
    i += CharLength(text, i);
  }
  return i;
}

// The last characters of text that fill at most `columns` columns, as a start index.
std::size_t TailStart(std::wstring_view text, std::size_t columns) {
  const std::vector<std::size_t> starts = CharStarts(text);
  std::size_t k = starts.size() - 1;  // index into starts of the tail's first character
  std::size_t used = 0;
  while (k > 0 && used + Columns(text, starts[k - 1]) <= columns) {
    --k;
    used += Columns(text, starts[k]);
  }
  return starts[k];
}

std::wstring ShortenInTheMiddle(std::wstring_view paragraph) {
  const std::size_t half = (kMessageParagraphColumns - 2) / 2;  // the ellipsis may take two
  const std::size_t head = HeadLength(paragraph, half);
  const std::size_t tail = TailStart(paragraph, half);
  return std::wstring(paragraph.substr(0, head)) + kEllipsis + std::wstring(paragraph.substr(tail));
}

void AppendWrapped(std::wstring_view paragraph, std::wstring& out) {
  std::size_t start = 0;
  while (DisplayColumns(paragraph.substr(start)) > kMessageLineColumns) {
    const std::wstring_view rest = paragraph.substr(start);
    const std::size_t fits = HeadLength(rest, kMessageLineColumns);  // > 0: no character is wider
    // The latest place to break at or before the first character that does not fit; a folder
    // boundary or a space in the second half of the line comes before a place between two
    // full-width characters, so that a path breaks between its folders.
    std::size_t cut = 0;
    std::size_t strongCut = 0;
    for (std::size_t i = fits; i > 0 && strongCut == 0; --i) {
      if (IsLowSurrogate(rest[i]) && IsHighSurrogate(rest[i - 1])) continue;
      if (!MayBreakBefore(rest, i)) continue;
      if (cut == 0) cut = i;
      if (IsStrongBreakBefore(rest, i) && 2 * i >= fits) strongCut = i;
    }
    if (strongCut != 0) cut = strongCut;
    if (cut == 0) cut = fits;
    std::size_t lineEnd = cut;
    while (lineEnd > 0 && rest[lineEnd - 1] == L' ') --lineEnd;  // the break replaces the spaces
    std::size_t next = cut;
    while (next < rest.size() && rest[next] == L' ') ++next;
    if (lineEnd == 0) lineEnd = cut;  // a line of spaces alone stays as it is
    out.append(rest.substr(0, lineEnd));
    out += L'\n';
    start += next;
  }
  out.append(paragraph.substr(start));
}

}  // namespace

std::size_t DisplayColumns(std::wstring_view text) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) columns += Columns(text, i);
  return columns;
}

std::wstring FitMessageText(std::wstring_view text) {
  std::wstring out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(L'\n', start);
    std::wstring_view paragraph =
        text.substr(start, end == std::wstring_view::npos ? end : end - start);
    std::wstring shortened;
    if (DisplayColumns(paragraph) > kMessageParagraphColumns) {
      shortened = ShortenInTheMiddle(paragraph);
      paragraph = shortened;
    }
    AppendWrapped(paragraph, out);
    if (end == std::wstring_view::npos) break;
    out += L'\n';
    start = end + 1;
  }
  return out;
}

std::wstring UntrustedLinkMessage(std::wstring_view linkPath) {
  return L"次の場所は、別の場所を指すリンク（ジャンクションまたはシンボリック リンク）で、\n"
         L"ほかのアカウントが作成したものです。\n\n場所: " +
         std::wstring(linkPath) +
         L"\n\n安全のため、Excel は起動せず、アドインの設定も変更していません。\n"
         L"このリンクを確認するよう、コンピューターの管理者に依頼してください。";
}

namespace {

// program: how the message names the program, ready to be followed by は or を.
std::wstring OtherAccountMessage(std::wstring_view program, std::wstring_view accountName,
                                 std::wstring_view consequence) {
  const std::wstring name(program);
  return name +
         L"は、Windows にサインインしているユーザーとは別のアカウントで実行されています。\n" +
         L"アカウント: " + std::wstring(accountName) + L"\n\nこのまま続けると、" +
         std::wstring(consequence) + L"\n\n" + name +
         L"を終了します。\nExcel を使うユーザーのまま、" + name +
         L"を通常どおり起動し直してください。";
}

}  // namespace

std::wstring SetupOtherAccountMessage(std::wstring_view accountName) {
  return OtherAccountMessage(L"セットアップ", accountName,
                             L"アドインはこのアカウントの Excel に登録され、\n"
                             L"サインインしているユーザーの Excel では使えません。") +
         L"\nインストーラーに管理者の権限が必要なときは、そのときに確認の画面が表示されます。";
}

std::wstring UninstallOtherAccountMessage(std::wstring_view accountName) {
  return OtherAccountMessage(L"UnInstall ", accountName,
                             L"アドインはこのアカウントの Excel から開放され、\n"
                             L"サインインしているユーザーの Excel に登録が残ったまま、"
                             L"アドインファイルが削除されます。");
}

}  // namespace velmor
