#include "Text.h"

#include <windows.h>

namespace excel {

bool EqualsNoCase(std::wstring_view left, std::wstring_view right) {
  if (left.size() != right.size()) return false;
  if (left.empty()) return true;
  return CompareStringOrdinal(left.data(), static_cast<int>(left.size()), right.data(),
                              static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

std::wstring CallLine(std::wstring_view name,
                      const std::vector<std::optional<std::wstring>>& args) {
  std::wstring line(name);
  line += L'(';
  bool first = true;
  for (const auto& arg : args) {
    if (!arg) continue;
    if (!first) line += L", ";
    first = false;
    line += L'"';
    for (const wchar_t c : *arg) {
      if (c == L'"') line += L'"';
      line += c;
    }
    line += L'"';
  }
  line += L')';
  return line;
}

}  // namespace excel
