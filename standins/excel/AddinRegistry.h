#pragma once

// What the tool workbook's macros do to the registry: the application opens every add-in listed in
// the values OPEN, OPEN1, OPEN2, ... of its Options key, each holding a quoted path.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace excel {

inline constexpr std::wstring_view kOptionsKey =
    L"Software\\Microsoft\\Office\\16.0\\Excel\\Options";

struct RegistryValue {
  std::wstring name;
  std::wstring data;  // empty unless the value is a string
};

// folder & "\" & base & ".xla", exactly as the macro builds it.
std::wstring AddinPath(std::wstring_view folder, std::wstring_view base);

// True for OPEN, OPEN1, OPEN2, ... in any case.
bool IsOpenName(std::wstring_view name);

// True when the data names the add-in, quoted or not, ignoring case.
bool HoldsAddin(std::wstring_view data, std::wstring_view path);

// The first name of the series OPEN, OPEN1, OPEN2, ... that no value uses.
std::wstring FirstFreeOpenName(const std::vector<RegistryValue>& values);

// Lists the add-in in the first free OPEN value, unless some OPEN value already lists it. The key
// (under root) is created when missing. Returns a Win32 error code.
LSTATUS InstallAddin(HKEY root, std::wstring_view key, std::wstring_view path);

// Deletes every OPEN value that lists the add-in and leaves the others as they are.
LSTATUS UninstallAddin(HKEY root, std::wstring_view key, std::wstring_view path);

// The data of the OPEN values in the order OPEN, OPEN1, OPEN2, ..., as Excel reads its add-in list
// when it starts. A missing key is an empty list.
LSTATUS ReadAddinList(HKEY root, std::wstring_view key, std::vector<std::wstring>* list);

// Replaces every OPEN value with the list, as OPEN, OPEN1, ... in its order, as Excel writes its
// add-in list back when it ends: whatever another instance changed meanwhile is undone.
LSTATUS WriteAddinList(HKEY root, std::wstring_view key, const std::vector<std::wstring>& list);

}  // namespace excel
