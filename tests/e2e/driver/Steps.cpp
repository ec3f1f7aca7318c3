#include "Steps.h"

#include <windows.h>

#include "DescribeError.h"
#include "Handles.h"
#include "Utf8.h"

namespace e2e {
namespace {

using velmor::win32::UniqueHandle;

void Write(DWORD which, std::wstring_view text) {
  HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(h, &mode)) {
    WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const std::string bytes = velmor::Utf8FromWide(text);
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

bool ParseNumber(std::wstring_view s, unsigned long& value) {
  if (s.empty() || s.size() > 9) return false;
  unsigned long v = 0;
  for (wchar_t c : s) {
    if (c < L'0' || c > L'9') return false;
    v = v * 10 + static_cast<unsigned long>(c - L'0');
  }
  value = v;
  return true;
}

}  // namespace

[[noreturn]] void Fail(std::wstring message) { throw Failure{std::move(message)}; }

void Out(std::wstring_view text) { Write(STD_OUTPUT_HANDLE, text); }
void Err(std::wstring_view text) { Write(STD_ERROR_HANDLE, text); }

std::wstring Trim(std::wstring_view s) {
  const auto first = s.find_first_not_of(L" \t");
  if (first == std::wstring_view::npos) return {};
  const auto last = s.find_last_not_of(L" \t");
  return std::wstring(s.substr(first, last - first + 1));
}

std::wstring Unescape(std::wstring_view s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'\\' && i + 1 < s.size() && (s[i + 1] == L'n' || s[i + 1] == L'\\')) {
      out += s[i + 1] == L'n' ? L'\n' : L'\\';
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::wstring WithoutCR(std::wstring s) {
  std::erase(s, L'\r');
  return s;
}

std::wstring Quote(std::wstring_view s) {
  std::wstring out = L"\"";
  for (wchar_t c : s) {
    if (c == L'\n') {
      out += L"\\n";
    } else if (c == L'\r') {
      out += L"\\r";
    } else {
      out += c;
    }
  }
  return out + L"\"";
}

std::optional<std::vector<Step>> ReadSteps(const std::wstring& path, std::wstring& error) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = L"cannot open " + path + L": " + velmor::win32::DescribeError(GetLastError());
    return std::nullopt;
  }
  std::string bytes;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(file.get(), buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
  const std::wstring text = velmor::WideFromUtf8(bytes);

  std::vector<Step> steps;
  int lineNo = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(L'\n', pos);
    if (end == std::wstring::npos) end = text.size();
    ++lineNo;
    std::wstring line = Trim(WithoutCR(text.substr(pos, end - pos)));
    pos = end + 1;
    if (line.empty() || line[0] == L'#') continue;
    const size_t space = line.find_first_of(L" \t");
    Step step;
    step.line = lineNo;
    step.verb = line.substr(0, space);
    step.rest = space == std::wstring::npos ? L"" : Trim(line.substr(space));
    if (!IsKnownVerb(step.verb)) {
      error = L"line " + std::to_wstring(lineNo) + L": unknown step " + Quote(step.verb);
      return std::nullopt;
    }
    steps.push_back(std::move(step));
  }
  return steps;
}

std::wstring StepText(const Step& step) {
  return step.rest.empty() ? step.verb : step.verb + L" " + step.rest;
}

std::vector<std::wstring> SplitBars(std::wstring_view s) {
  std::vector<std::wstring> parts;
  size_t pos = 0;
  while (true) {
    const size_t bar = s.find(L'|', pos);
    parts.push_back(Trim(s.substr(pos, bar == std::wstring_view::npos ? s.npos : bar - pos)));
    if (bar == std::wstring_view::npos) break;
    pos = bar + 1;
  }
  return parts;
}

std::pair<std::wstring, unsigned long> SplitTrailingNumber(const std::wstring& rest) {
  const size_t space = rest.find_last_of(L" \t");
  unsigned long value = 0;
  if (space == std::wstring::npos || !ParseNumber(rest.substr(space + 1), value)) {
    Fail(L"expected <text> <milliseconds>");
  }
  return {Trim(rest.substr(0, space)), value};
}

unsigned long RequireNumber(const std::wstring& s, const wchar_t* what) {
  unsigned long value = 0;
  if (!ParseNumber(s, value)) Fail(std::wstring(L"expected ") + what + L", got " + Quote(s));
  return value;
}

}  // namespace e2e
