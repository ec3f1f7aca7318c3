#include "Text.h"

namespace excel {

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
