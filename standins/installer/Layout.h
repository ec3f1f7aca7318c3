#pragma once

// The product files the package carries and how it lays them out in the product folder.

#include <windows.h>

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace installer {

struct ProductFile {
  std::wstring name;                // file name inside the product folder, e.g. "TorvaneEx.xla"
  std::span<const std::byte> data;  // the file's bytes, held by the loaded image
};

// The files built into the module: RCDATA resource n holds the bytes and string n names the file,
// for n = 1, 2, ... up to the first missing string. An installer that carries no files gets an
// empty list. A string without matching data means a broken build; it is reported in `missing`.
std::vector<ProductFile> CarriedFiles(HMODULE module, std::wstring& missing);

// Writes every file not named in `omit` (compared case-insensitively) into `folder`, creating the
// folder when needed and overwriting what is there, read-only or not. Journals one line per file
// written under the name `who`. Stops at the first failure, journals the path and the Win32 error,
// and returns false.
bool LayOut(std::wstring_view who, const std::wstring& folder,
            const std::vector<ProductFile>& files, const std::vector<std::wstring>& omit);

}  // namespace installer
