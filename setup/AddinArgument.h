#pragma once

// Reading the add-in choice from the setup program's command line.

#include <cstdint>
#include <optional>
#include <string>

namespace setup {

struct AddinArgument {
  std::wstring text;  // the command line as given, spaces trimmed at both ends
  std::optional<std::int16_t>
      index;  // the add-in row 1 to 5; empty when the argument is unreadable
};

// The argument is read upper-cased. Fewer than 3 characters choose row 1. Otherwise the first two
// characters are dropped, whatever they are, and the rest must be a whole decimal number (optional
// sign, digits only) within the 16-bit signed range; a number outside 1 to 5 chooses row 1.
// Anything else is unreadable: a setup program must not go on to install an add-in nobody asked
// for.
AddinArgument ReadAddinArgument(const std::wstring& commandLine);

// The message that reports an unreadable argument.
std::wstring BadArgumentMessage(const std::wstring& text);

}  // namespace setup
