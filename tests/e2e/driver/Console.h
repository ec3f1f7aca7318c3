#pragma once

// The driver's output: each step as it starts and what it saw on stdout, failures on stderr.

#include <string_view>

namespace e2e {

// Wide text to a console, UTF-8 bytes to a pipe or file.
void Out(std::wstring_view text);
void Err(std::wstring_view text);

}  // namespace e2e
