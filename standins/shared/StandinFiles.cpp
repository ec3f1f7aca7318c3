#include "StandinFiles.h"

#include <windows.h>

#include <cwchar>
#include <fstream>
#include <sstream>

#include "Handles.h"
#include "Utf8.h"

namespace standins {
namespace {

std::wstring Trim(std::wstring_view text) {
  const auto first = text.find_first_not_of(L" \t\r\n");
  if (first == std::wstring_view::npos) return {};
  const auto last = text.find_last_not_of(L" \t\r\n");
  return std::wstring(text.substr(first, last - first + 1));
}

}  // namespace

std::wstring StateFolder() { return L"C:\\standins"; }

void Journal(std::wstring_view who, std::wstring_view text) {
  const std::wstring folder = StateFolder();
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring path = folder + L"\\journal.txt";
  // Several processes append in turn; sharing read and write lets a reader look in at any time.
  const velmor::win32::UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  std::wstring line(who);
  line += L": ";
  line += text;
  line += L"\r\n";
  const std::string bytes = velmor::Utf8FromWide(line);
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string ReadFileBytes(const std::wstring& path) {
  const velmor::win32::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                     OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

std::vector<std::wstring> Orders(std::wstring_view name, std::wstring_view key) {
  std::vector<std::wstring> values;
  const std::wstring path = StateFolder() + L"\\" + std::wstring(name) + L".cfg";
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) return values;
  std::stringstream bytes;
  bytes << in.rdbuf();
  std::wstringstream lines(velmor::WideFromUtf8(bytes.str()));
  std::wstring line;
  while (std::getline(lines, line)) {
    const auto equals = line.find(L'=');
    if (equals == std::wstring::npos) continue;
    if (Trim(line.substr(0, equals)) == key) values.push_back(Trim(line.substr(equals + 1)));
  }
  return values;
}

std::wstring Order(std::wstring_view name, std::wstring_view key, std::wstring_view fallback) {
  auto values = Orders(name, key);
  return values.empty() ? std::wstring(fallback) : values.back();
}

long OrderNumber(std::wstring_view name, std::wstring_view key, long fallback) {
  const std::wstring value = Order(name, key, L"");
  if (value.empty()) return fallback;
  wchar_t* end = nullptr;
  const long number = std::wcstol(value.c_str(), &end, 10);
  return (end != nullptr && *end == L'\0') ? number : fallback;
}

}  // namespace standins
