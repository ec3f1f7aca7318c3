#pragma once

// Numbers as text, written out by hand: the printf family would bring the C runtime's whole
// formatting engine (floating point included) into programs that only ever print small integers.

#include <cstdint>
#include <string>

namespace velmor {

// Decimal, with a leading minus for negative values.
inline std::wstring DecimalText(std::int64_t value) {
  // Work on the magnitude as unsigned so that the most negative value has no overflow.
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  wchar_t digits[24];
  std::size_t start = sizeof digits / sizeof digits[0];
  do {
    digits[--start] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--start] = L'-';
  return std::wstring(digits + start, digits + sizeof digits / sizeof digits[0]);
}

// "0x" and eight upper-case hexadecimal digits, as HRESULTs are usually written.
inline std::wstring HexText8(std::uint32_t value) {
  std::wstring text = L"0x00000000";
  for (std::size_t i = text.size() - 1; value != 0; --i, value >>= 4) {
    text[i] = L"0123456789ABCDEF"[value & 0xFu];
  }
  return text;
}

}  // namespace velmor
