// Apart from the other helpers: the number's text uses the C library's formatting, which would
// otherwise come into every program that links the support library, for nothing (the programs do
// not use it).

#include "DescribeError.h"

#include "ErrorText.h"

namespace velmor::win32 {

std::wstring DescribeError(DWORD error) {
  std::wstring text = SystemErrorText(error);
  while (!text.empty() && text.back() == L'.') text.pop_back();
  return L"error " + std::to_wstring(error) + (text.empty() ? L"" : L": " + text);
}

}  // namespace velmor::win32
