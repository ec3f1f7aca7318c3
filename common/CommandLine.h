#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmor {

// Where the arguments part of a process command line begins: after the program name, which may be
// quoted (and then contain spaces), and the blanks that follow it. Some launchers write the
// program's own full path unquoted, spaces and all ("C:\dist\Velmor CD\Velmor_Setup.exe /A3"): when
// the line begins with programPath (compared without regard to ASCII case) followed by a blank or
// the end, all of it is the program name. Any other line reads as if programPath were not given.
std::size_t ArgumentsStart(std::wstring_view commandLine, std::wstring_view programPath = {});

// The arguments part itself: commandLine from ArgumentsStart on.
std::wstring ArgumentsOf(std::wstring_view commandLine, std::wstring_view programPath = {});

// Whether commandLine begins with programPath, unquoted, followed by a blank or the end.
bool BeginsWithUnquotedPath(std::wstring_view commandLine, std::wstring_view programPath);

}  // namespace velmor
