#include "Registration.h"

#include <objbase.h>

#include "ExcelObjects.h"
#include "Handles.h"
#include "Text.h"

namespace excel {

using velmor::win32::UniqueHkey;

namespace {

constexpr std::wstring_view kProgId = L"Excel.Application";
constexpr std::wstring_view kDescription = L"Excel stand-in";

std::wstring ErrorText(LSTATUS status) { return L" (error " + std::to_wstring(status) + L")"; }

LSTATUS OpenClasses(const ClassesKey& classes, REGSAM access, UniqueHkey* key) {
  return RegOpenKeyExW(classes.root, classes.path.c_str(), 0, access | classes.view, key->put());
}

// The default value of a subkey, or an empty text when key or value is missing.
std::wstring DefaultValue(HKEY parent, const std::wstring& subkey) {
  DWORD size = 0;
  if (RegGetValueW(parent, subkey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(parent, subkey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  text.resize(wcsnlen(text.c_str(), text.size()));
  return text;
}

LSTATUS WriteDefault(HKEY parent, const std::wstring& subkey, REGSAM view,
                     std::wstring_view value) {
  UniqueHkey key;
  LSTATUS status = RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view,
                                   nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  const std::wstring text(value);
  return RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::wstring ClassKeyPath() { return L"CLSID\\" + ClsidText(); }
std::wstring ProgIdClsidPath() { return std::wstring(kProgId) + L"\\CLSID"; }

}  // namespace

std::vector<ClassesKey> MachineClasses() {
  return {{HKEY_LOCAL_MACHINE, L"Software\\Classes", KEY_WOW64_64KEY},
          {HKEY_LOCAL_MACHINE, L"Software\\Classes", KEY_WOW64_32KEY}};
}

std::wstring ClsidText() {
  wchar_t text[40] = {};
  StringFromGUID2(kClsid, text, 40);
  return text;
}

Outcome RegisterServer(const std::vector<ClassesKey>& keys, std::wstring_view serverPath) {
  const std::wstring ours = ClsidText();
  // Look at every view before writing anything, so that a refusal leaves the registry untouched.
  for (const ClassesKey& classes : keys) {
    UniqueHkey key;
    if (OpenClasses(classes, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) continue;
    const std::wstring current = DefaultValue(key.get(), ProgIdClsidPath());
    if (!current.empty() && !EqualsIgnoringCase(current, ours)) {
      return {false, L"Excel.Application is already registered with the class " + current +
                         L"; that registration is left as it is."};
    }
  }
  const std::wstring command = L"\"" + std::wstring(serverPath) + L"\"";
  for (const ClassesKey& classes : keys) {
    UniqueHkey key;
    LSTATUS status = RegCreateKeyExW(classes.root, classes.path.c_str(), 0, nullptr, 0,
                                     KEY_CREATE_SUB_KEY | KEY_SET_VALUE | classes.view, nullptr,
                                     key.put(), nullptr);
    const std::wstring classKey = ClassKeyPath();
    if (status == ERROR_SUCCESS)
      status = WriteDefault(key.get(), classKey, classes.view, kDescription);
    if (status == ERROR_SUCCESS) {
      status = WriteDefault(key.get(), classKey + L"\\ProgID", classes.view, kProgId);
    }
    if (status == ERROR_SUCCESS) {
      status = WriteDefault(key.get(), classKey + L"\\LocalServer32", classes.view, command);
    }
    if (status == ERROR_SUCCESS) {
      status = WriteDefault(key.get(), std::wstring(kProgId), classes.view, kDescription);
    }
    if (status == ERROR_SUCCESS) {
      status = WriteDefault(key.get(), ProgIdClsidPath(), classes.view, ours);
    }
    if (status != ERROR_SUCCESS) {
      return {false, L"Could not write the registration under " + classes.path + ErrorText(status)};
    }
  }
  return {true, L""};
}

Outcome UnregisterServer(const std::vector<ClassesKey>& keys) {
  const std::wstring ours = ClsidText();
  for (const ClassesKey& classes : keys) {
    UniqueHkey key;
    LSTATUS status = OpenClasses(classes, KEY_ALL_ACCESS, &key);
    if (status == ERROR_FILE_NOT_FOUND) continue;
    if (status != ERROR_SUCCESS) {
      return {false, L"Could not open " + classes.path + ErrorText(status)};
    }
    if (EqualsIgnoringCase(DefaultValue(key.get(), ProgIdClsidPath()), ours)) {
      status = RegDeleteTreeW(key.get(), std::wstring(kProgId).c_str());
      if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        return {false, L"Could not remove Excel.Application" + ErrorText(status)};
      }
    }
    status = RegDeleteTreeW(key.get(), ClassKeyPath().c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
      return {false, L"Could not remove " + ClassKeyPath() + ErrorText(status)};
    }
  }
  return {true, L""};
}

}  // namespace excel
