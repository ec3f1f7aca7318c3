#pragma once

// The text of the journal line that records an automation call, and the case-insensitive
// comparison the way Windows compares names (registry and macro names), from the support library.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Win32Support.h"

namespace excel {

using velmor::win32::EqualsIgnoringCase;

// `Name("first", "second")`: every given argument quoted, missing ones (nullopt) left out. A quote
// inside an argument is doubled so that the line still reads unambiguously.
std::wstring CallLine(std::wstring_view name, const std::vector<std::optional<std::wstring>>& args);

}  // namespace excel
