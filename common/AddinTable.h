#pragma once

// The five add-ins: the catalogue row of each, its base name and the caption both windows list it
// by. The catalogue (AddinNames) and both windows' add-in controls are filled from this one table.

#include <cstdint>

namespace velmor {

struct Addin {
  std::int16_t row;         // the catalogue row, 1 to 5
  const wchar_t* baseName;  // the add-in file's name without folder and extension
  const wchar_t* caption;   // the add-in's label (setup) and option button (uninstall)
};

inline constexpr Addin kAddins[] = {
    {1, L"CordaleEx", L"CordaleEx.xla"}, {2, L"BriselEx", L"BriselEx.xla"},
    {3, L"TorvaneEx", L"TorvaneEx.xla"}, {4, L"MalvixEx", L"MalvixEx.xla"},
    {5, L"QuillonEx", L"Quillon.exe"},
};

// Throws the run-time error of a catalogue row outside the table (9, out of range).
[[noreturn]] void ThrowRowOutOfRange(const wchar_t* what, std::int16_t row);

// The add-in of catalogue row 1 to 5. In a window table, any other row does not compile (the
// function that throws cannot run at compile time).
constexpr const Addin& AddinOfRow(std::int16_t row) {
  for (const Addin& addin : kAddins) {
    if (addin.row == row) return addin;
  }
  ThrowRowOutOfRange(L"アドインの参照", row);
}

// The element of a window's add-in control array (Label1, Option1) that shows a catalogue row:
// the arrays count from 0, the catalogue from 1.
constexpr std::int16_t AddinControlIndex(std::int16_t row) {
  return static_cast<std::int16_t>(row - 1);
}

}  // namespace velmor
