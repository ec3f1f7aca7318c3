#include "AddinRegistry.h"

#include "Handles.h"
#include "Text.h"

namespace excel {

using velmor::win32::UniqueHkey;

namespace {

constexpr std::wstring_view kOpen = L"OPEN";

LSTATUS ReadValues(HKEY key, std::vector<RegistryValue>* values) {
  values->clear();
  DWORD count = 0;
  DWORD longestName = 0;
  DWORD longestData = 0;
  LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    &count, &longestName, &longestData, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return status;
  std::wstring name(longestName + 1, L'\0');
  std::vector<BYTE> data(longestData + sizeof(wchar_t));
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    status = RegEnumValueW(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return status;
    RegistryValue value{name.substr(0, nameSize), L""};
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      value.data.assign(reinterpret_cast<const wchar_t*>(data.data()), dataSize / sizeof(wchar_t));
      while (!value.data.empty() && value.data.back() == L'\0') value.data.pop_back();
    }
    values->push_back(std::move(value));
  }
  return ERROR_SUCCESS;
}

// Creates the add-in key if need be, opens it for reading and writing, and reads its values.
LSTATUS OpenOptions(HKEY root, std::wstring_view key, UniqueHkey* options,
                    std::vector<RegistryValue>* values) {
  const LSTATUS status =
      RegCreateKeyExW(root, std::wstring(key).c_str(), 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, options->put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return ReadValues(options->get(), values);
}

// "OPEN" for the first add-in Excel lists, then "OPEN1", "OPEN2", ...
std::wstring OpenName(std::size_t number) {
  return number == 0 ? std::wstring(kOpen) : std::wstring(kOpen) + std::to_wstring(number);
}

LSTATUS SetString(HKEY key, const std::wstring& name, const std::wstring& text) {
  return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

std::wstring AddinPath(std::wstring_view folder, std::wstring_view base) {
  std::wstring path(folder);
  path += L'\\';
  path += base;
  path += L".xla";
  return path;
}

bool IsOpenName(std::wstring_view name) {
  if (name.size() < kOpen.size() || !EqualsIgnoringCase(name.substr(0, kOpen.size()), kOpen)) {
    return false;
  }
  const std::wstring_view number = name.substr(kOpen.size());
  if (number.empty()) return true;
  if (number.front() == L'0') return false;
  for (const wchar_t c : number) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

bool HoldsAddin(std::wstring_view data, std::wstring_view path) {
  if (data.size() >= 2 && data.front() == L'"' && data.back() == L'"') {
    data = data.substr(1, data.size() - 2);
  }
  return EqualsIgnoringCase(data, path);
}

std::wstring FirstFreeOpenName(const std::vector<RegistryValue>& values) {
  for (std::size_t number = 0;; ++number) {
    const std::wstring candidate = OpenName(number);
    bool used = false;
    for (const RegistryValue& value : values)
      used = used || EqualsIgnoringCase(value.name, candidate);
    if (!used) return candidate;
  }
}

LSTATUS InstallAddin(HKEY root, std::wstring_view key, std::wstring_view path) {
  UniqueHkey options;
  std::vector<RegistryValue> values;
  const LSTATUS status = OpenOptions(root, key, &options, &values);
  if (status != ERROR_SUCCESS) return status;
  for (const RegistryValue& value : values) {
    if (IsOpenName(value.name) && HoldsAddin(value.data, path)) return ERROR_SUCCESS;
  }
  return SetString(options.get(), FirstFreeOpenName(values), L"\"" + std::wstring(path) + L"\"");
}

LSTATUS UninstallAddin(HKEY root, std::wstring_view key, std::wstring_view path) {
  UniqueHkey options;
  LSTATUS status = RegOpenKeyExW(root, std::wstring(key).c_str(), 0,
                                 KEY_QUERY_VALUE | KEY_SET_VALUE, options.put());
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;  // nothing is listed at all
  if (status != ERROR_SUCCESS) return status;
  std::vector<RegistryValue> values;
  status = ReadValues(options.get(), &values);
  if (status != ERROR_SUCCESS) return status;
  // Collected first and deleted afterwards: deleting while enumerating would skip values.
  for (const RegistryValue& value : values) {
    if (!IsOpenName(value.name) || !HoldsAddin(value.data, path)) continue;
    status = RegDeleteValueW(options.get(), value.name.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return status;
  }
  return ERROR_SUCCESS;
}

LSTATUS ReadAddinList(HKEY root, std::wstring_view key, std::vector<std::wstring>* list) {
  list->clear();
  UniqueHkey options;
  LSTATUS status =
      RegOpenKeyExW(root, std::wstring(key).c_str(), 0, KEY_QUERY_VALUE, options.put());
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  std::vector<RegistryValue> values;
  status = ReadValues(options.get(), &values);
  if (status != ERROR_SUCCESS) return status;
  // OPEN, OPEN1, OPEN2, ... up to the first gap, as Excel reads them.
  for (std::size_t number = 0;; ++number) {
    const std::wstring name = OpenName(number);
    bool found = false;
    for (const RegistryValue& value : values) {
      if (!EqualsIgnoringCase(value.name, name)) continue;
      list->push_back(value.data);
      found = true;
    }
    if (!found) return ERROR_SUCCESS;
  }
}

LSTATUS WriteAddinList(HKEY root, std::wstring_view key, const std::vector<std::wstring>& list) {
  UniqueHkey options;
  std::vector<RegistryValue> values;
  LSTATUS status = OpenOptions(root, key, &options, &values);
  if (status != ERROR_SUCCESS) return status;
  for (const RegistryValue& value : values) {
    if (!IsOpenName(value.name)) continue;
    status = RegDeleteValueW(options.get(), value.name.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return status;
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    status = SetString(options.get(), OpenName(i), list[i]);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

}  // namespace excel
