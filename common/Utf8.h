#pragma once

// UTF-8 to and from the wide strings of the programs (UTF-16 where wchar_t has 16 bits, as on
// Windows; UTF-32 elsewhere). Portable, so that the error border can show an exception's text and
// the stand-ins and the driver can read and write their UTF-8 files with one implementation.
// A malformed sequence becomes U+FFFD, as MultiByteToWideChar does.

#include <string>
#include <string_view>

namespace velmor {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace velmor
