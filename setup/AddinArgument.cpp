#include "AddinArgument.h"

#include <cwctype>

namespace setup {
namespace {

std::wstring TrimSpaces(const std::wstring& text) {
  const auto first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

std::optional<std::int16_t> ToInt16(const std::wstring& text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
    negative = text[pos] == L'-';
    ++pos;
  }
  if (pos == text.size()) return std::nullopt;
  long value = 0;
  for (; pos < text.size(); ++pos) {
    if (text[pos] < L'0' || text[pos] > L'9') return std::nullopt;
    value = value * 10 + (text[pos] - L'0');
    if (value > 32768) return std::nullopt;  // beyond the range either way; stops any overflow
  }
  if (negative) value = -value;
  if (value < -32768 || value > 32767) return std::nullopt;
  return static_cast<std::int16_t>(value);
}

}  // namespace

AddinArgument ReadAddinArgument(const std::wstring& commandLine) {
  AddinArgument result{TrimSpaces(commandLine), std::nullopt};
  std::wstring argument = result.text;
  for (wchar_t& c : argument) c = static_cast<wchar_t>(std::towupper(c));
  if (argument.size() < 3) {
    result.index = 1;
    return result;
  }
  const std::optional<std::int16_t> number = ToInt16(argument.substr(2));
  if (number) result.index = (*number < 1 || *number > 5) ? std::int16_t{1} : *number;
  return result;
}

std::wstring BadArgumentMessage(const std::wstring& text) {
  return L"コマンドライン引数「" + text + L"」は正しくありません。\n\n" +
         L"インストールするアドインは /A1 ～ /A5 の形で指定してください。\n" +
         L"セットアップを終了します。";
}

}  // namespace setup
