#pragma once

// Small text helpers: case-insensitive comparison the way Windows compares names, and the text of
// the journal line that records an automation call.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace excel {

// True when both texts are equal ignoring case (ordinal, as registry and macro names compare).
bool EqualsNoCase(std::wstring_view left, std::wstring_view right);

// `Name("first", "second")`: every given argument quoted, missing ones (nullopt) left out. A quote
// inside an argument is doubled so that the line still reads unambiguously.
std::wstring CallLine(std::wstring_view name, const std::vector<std::optional<std::wstring>>& args);

}  // namespace excel
