#include "Registration.h"

#include <objbase.h>

#include <algorithm>

#include "ExcelObjects.h"
#include "Handles.h"
#include "Text.h"
#include "Win32Support.h"

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

// Whether this process runs with an administrator's full token (elevated).
bool Elevated() {
  velmor::win32::UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}
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

Scope ScopeForThisProcess() {
  if (velmor::win32::RunningUnderWine()) {
    return {L"HKLM\\Software\\Classes",
            MachineClasses(),
            {},
            false,
            L"per machine: Wine reads COM classes only there"};
  }
  if (Elevated()) {
    return {L"HKLM\\Software\\Classes",
            MachineClasses(),
            {},
            false,
            L"per machine, as this is an elevated process: elevated programs do not use per-user "
            L"classes"};
  }
  return {L"HKCU\\Software\\Classes",
          {{HKEY_CURRENT_USER, L"Software\\Classes", 0}},
          MachineClasses(),
          true,
          L"for this user only (no administrator needed)"};
}

Outcome RegisterServer(const Scope& scope, std::wstring_view serverPath, bool force) {
  const std::wstring ours = ClsidText();
  // Look everywhere before writing anything, so that a refusal leaves the registry untouched.
  std::vector<ClassesKey> looked = scope.keys;
  looked.insert(looked.end(), scope.seen.begin(), scope.seen.end());
  for (const ClassesKey& classes : looked) {
    UniqueHkey key;
    if (OpenClasses(classes, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) continue;
    const std::wstring current = DefaultValue(key.get(), ProgIdClsidPath());
    if (current.empty() || EqualsIgnoringCase(current, ours)) continue;
    const std::wstring server = DefaultValue(key.get(), L"CLSID\\" + current + L"\\LocalServer32");
    const std::wstring found = L"Excel.Application is already registered with the class " +
                               current + (server.empty() ? L"" : L" (" + server + L")") +
                               L", a real Excel most likely. ";
    // Found where the registration would be written, it would be replaced; found elsewhere, a
    // per-user registration would only stand in front of it.
    const bool written =
        std::any_of(scope.keys.begin(), scope.keys.end(), [&](const ClassesKey& k) {
          return k.root == classes.root && k.path == classes.path && k.view == classes.view;
        });
    if (written || !scope.mayShadow) {
      return {false, found + L"Registering the stand-in under " + scope.name +
                         L" would replace it; nothing was changed."};
    }
    if (!force) {
      return {false, found +
                         L"Nothing was changed. Give /force to register the stand-in in front "
                         L"of it for this user; /UnregServer gives it back."};
    }
  }
  const std::wstring command = L"\"" + std::wstring(serverPath) + L"\"";
  for (const ClassesKey& classes : scope.keys) {
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
  return {true, L"The Excel stand-in " + command + L" is registered as Excel.Application under " +
                    scope.name + L", " + scope.why + L". /UnregServer removes it."};
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
