#pragma once

#include <string>
#include <string_view>

namespace velmor {

// The arguments part of a process command line: everything after the program name, which may be
// quoted (and then contain spaces), and the blanks that follow it.
std::wstring ArgumentsOf(std::wstring_view commandLine);

}  // namespace velmor
