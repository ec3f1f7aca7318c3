#include "TestBed.h"

#include <algorithm>
#include <cwctype>

#include "DescribeError.h"
#include "RuntimeError.h"
#include "Steps.h"
#include "Utf8.h"
#include "Win32Support.h"

namespace e2e {
namespace {

using velmor::win32::DescribeError;
using velmor::win32::UniqueFind;
using velmor::win32::UniqueHandle;
using velmor::win32::UniqueHkey;

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

[[noreturn]] void FailWith(const std::wstring& what, DWORD error) {
  Fail(what + L": " + DescribeError(error));
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The names in a folder, without "." and "..".
std::vector<WIN32_FIND_DATAW> FolderEntries(const std::wstring& folder) {
  std::vector<WIN32_FIND_DATAW> entries;
  WIN32_FIND_DATAW data{};
  UniqueFind find(FindFirstFileExW(FileApiPath(folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, 0));
  if (!find) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return entries;
    FailWith(L"cannot list " + Quote(folder), GetLastError());
  }
  do {
    const std::wstring_view name = data.cFileName;
    if (name != L"." && name != L"..") entries.push_back(data);
  } while (FindNextFileW(find.get(), &data));
  return entries;
}

// Every program (*.exe) in the build folder by its lower-case file name. The Wine prefixes and
// the artifacts hold copies of programs from earlier runs, CMake's folder its compiler checks:
// they are left out.
void FindPrograms(const std::wstring& folder, std::map<std::wstring, std::wstring>& programs) {
  for (const WIN32_FIND_DATAW& entry : FolderEntries(folder)) {
    const std::wstring name = entry.cFileName;
    const std::wstring path = folder + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      const std::wstring lower = Lower(name);
      if (lower.starts_with(L"wineprefix") || lower == L"artifacts" || lower == L"cmakefiles") {
        continue;
      }
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) FindPrograms(path, programs);
    } else if (Lower(name).ends_with(L".exe")) {
      programs.emplace(Lower(name), path);
    }
  }
}

bool IsAddinName(std::wstring_view name) {
  if (!name.starts_with(L"OPEN")) return false;
  name.remove_prefix(4);
  return std::all_of(name.begin(), name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// The names of Excel's add-in values, in a key opened for querying.
std::vector<std::wstring> AddinNames(HKEY key) {
  std::vector<std::wstring> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD length = 256;
    const LSTATUS status =
        RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) FailWith(L"cannot read Excel's add-in list", status);
    if (IsAddinName(name)) names.emplace_back(name, length);
  }
  return names;
}

// Wine neither lays nor removes a symbolic link itself, but runs a Unix program as it runs a
// Windows one: runs /bin/<command> on the Unix paths of paths, and waits until watched is there
// (present) or gone, for a Unix program gives no handle to wait on.
void RunUnixCommand(const std::wstring& command, const std::vector<std::wstring>& paths,
                    const std::wstring& watched, bool present) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  const auto [program, arguments] = SplitCommand(L"Z:\\bin\\" + command);
  std::wstring line = arguments;
  for (const std::wstring& path : paths) {
    char* name = unixName != nullptr ? unixName(path.c_str()) : nullptr;
    if (name == nullptr) Fail(L"no Unix path for " + Quote(path));
    line += L" \"" + velmor::WideFromUtf8(name) + L"\"";
    HeapFree(GetProcessHeap(), 0, name);
  }
  StartProgram(program, line, true);
  const ULONGLONG start = GetTickCount64();
  while ((GetFileAttributesW(watched.c_str()) != INVALID_FILE_ATTRIBUTES) != present) {
    if (GetTickCount64() - start > 60000)
      Fail(L"/bin/" + command + L" did not do its work in 60 s");
    Sleep(50);
  }
}

}  // namespace

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  CreateFolders(FolderOf(FullPathName(path)));
  UniqueHandle file(CreateFileW(FileApiPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file ||
      !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    FailWith(L"cannot write " + Quote(path), GetLastError());
  }
}

std::wstring FullPathName(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    // The length without the null when the path fits; the room needed, null included, when not.
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return {};
    if (length < full.size()) return full.substr(0, length);
    full.resize(length);
  }
}

std::wstring FileApiPath(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\")) return path;
  const std::wstring full = FullPathName(path);
  if (full.size() < 248) return full.empty() ? path : full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

void CreateFolders(const std::wstring& folder) {
  std::wstring full = FullPathName(folder);
  if (full.empty()) Fail(L"bad folder path " + Quote(folder));
  if (!full.ends_with(L'\\')) full += L'\\';
  // Past the root: "C:\" or "\\server\share\".
  size_t at = 3;
  if (full.starts_with(L"\\\\")) at = full.find(L'\\', full.find(L'\\', 2) + 1) + 1;
  for (at = full.find(L'\\', at); at != std::wstring::npos; at = full.find(L'\\', at + 1)) {
    const std::wstring part = full.substr(0, at);
    if (!CreateDirectoryW(FileApiPath(part).c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      FailWith(L"cannot create the folder " + Quote(part), GetLastError());
    }
  }
}

std::optional<std::string> ReadFileBytes(const std::wstring& path, std::wstring& error) {
  const UniqueHandle file(CreateFileW(FileApiPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = DescribeError(GetLastError());
    return std::nullopt;
  }
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  return bytes;
}

std::vector<std::wstring> AddinValues() {
  UniqueHkey key;
  const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, kAddinKey, 0, KEY_QUERY_VALUE, key.put());
  if (status == ERROR_FILE_NOT_FOUND) return {};
  if (status != ERROR_SUCCESS) FailWith(L"cannot open Excel's add-in list", status);
  std::vector<std::wstring> values;
  for (const std::wstring& name : AddinNames(key.get())) {
    wchar_t data[2048] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    if (RegGetValueW(key.get(), nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) ==
        ERROR_SUCCESS) {
      values.push_back(name + L"=" + data);
    }
  }
  std::sort(values.begin(), values.end());
  return values;
}

std::pair<std::wstring, std::wstring> SplitCommand(const std::wstring& command) {
  if (command.starts_with(L'"')) {
    const size_t close = command.find(L'"', 1);
    if (close == std::wstring::npos) Fail(L"unbalanced quote in the program path");
    return {command.substr(1, close - 1), Trim(command.substr(close + 1))};
  }
  const size_t space = command.find_first_of(L" \t");
  if (space == std::wstring::npos) return {command, L""};
  return {command.substr(0, space), Trim(command.substr(space))};
}

StartedProcess StartProgram(const std::wstring& path, const std::wstring& args, bool shareOutput) {
  if (path.empty()) Fail(L"expected a program path");
  const std::wstring folder = FolderOf(path);
  std::wstring commandLine = L"\"" + path + L"\"" + (args.empty() ? L"" : L" " + args);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (shareOutput) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE h : {si.hStdOutput, si.hStdError}) {
      if (h != nullptr && h != INVALID_HANDLE_VALUE) {
        SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
      }
    }
  }
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, shareOutput, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
    FailWith(L"cannot start " + Quote(path), GetLastError());
  }
  const UniqueHandle thread(pi.hThread);
  return {UniqueHandle(pi.hProcess), pi.dwProcessId};
}

TestBed::TestBed(std::wstring buildFolder) : build_(std::move(buildFolder)) {}

std::wstring TestBed::Program(const std::wstring& nameOrPath) {
  if (nameOrPath.find_first_of(L"\\/:") != std::wstring::npos) return nameOrPath;
  if (!programs_) {
    programs_.emplace();
    FindPrograms(build_, *programs_);
  }
  const auto found = programs_->find(Lower(nameOrPath));
  if (found == programs_->end()) {
    Fail(nameOrPath + L" is not built in " + build_ + L" (build the win64 preset first)");
  }
  return found->second;
}

void TestBed::Remove(const std::wstring& path) {
  const std::wstring api = FileApiPath(path);
  const DWORD attributes = GetFileAttributesW(api.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (IsMissing(GetLastError())) return;
    FailWith(L"cannot remove " + Quote(path), GetLastError());
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesW(api.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    // A link to a folder goes by itself; what it leads to stays.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && velmor::win32::RunningUnderWine()) {
      return RunUnixCommand(L"rm", {path}, api, false);
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      const std::wstring full = FullPathName(path);
      for (const WIN32_FIND_DATAW& entry : FolderEntries(full)) {
        Remove(full + L"\\" + entry.cFileName);
      }
    }
    if (!RemoveDirectoryW(api.c_str())) FailWith(L"cannot remove " + Quote(path), GetLastError());
  } else if (!DeleteFileW(api.c_str())) {
    FailWith(L"cannot remove " + Quote(path), GetLastError());
  }
}

void TestBed::Copy(const std::wstring& rest) {
  const size_t bar = rest.rfind(L'|');
  if (bar == std::wstring::npos) Fail(L"expected copy <file> ... | <folder>\\ or <file>");
  const std::vector<std::wstring> sources = Words(rest.substr(0, bar));
  const std::wstring target = Trim(rest.substr(bar + 1));
  const bool intoFolder = target.ends_with(L'\\');
  if (sources.empty() || (!intoFolder && sources.size() != 1)) {
    Fail(L"expected copy <file> ... | <folder>\\ or copy <file> | <file>");
  }
  CreateFolders(intoFolder ? target : FolderOf(FullPathName(target)));
  for (const std::wstring& name : sources) {
    const std::wstring source = Program(name);
    const std::wstring to = intoFolder ? target + source.substr(FolderOf(source).size()) : target;
    if (!CopyFileW(FileApiPath(source).c_str(), FileApiPath(to).c_str(), FALSE)) {
      FailWith(L"cannot copy " + Quote(source) + L" to " + Quote(to), GetLastError());
    }
  }
}

void TestBed::MakeReadOnly(const std::wstring& path) {
  const std::wstring api = FileApiPath(path);
  const DWORD attributes = GetFileAttributesW(api.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      !SetFileAttributesW(api.c_str(), attributes | FILE_ATTRIBUTE_READONLY)) {
    FailWith(L"cannot make " + Quote(path) + L" read-only", GetLastError());
  }
}

void TestBed::Write(const std::wstring& rest) {
  const size_t bar = rest.find(L'|');
  if (bar == std::wstring::npos) Fail(L"expected <file> | <text>");
  WriteBytes(Trim(rest.substr(0, bar)),
             velmor::Utf8FromWide(Unescape(Trim(rest.substr(bar + 1))) + L"\n"));
}

void TestBed::Order(const std::wstring& rest) {
  const std::vector<std::wstring> parts = SplitBars(rest);
  if (parts.size() < 2 || parts[0].empty()) Fail(L"expected <stand-in> | <order> | ...");
  std::wstring text;
  for (size_t i = 1; i < parts.size(); ++i) text += parts[i] + L"\n";
  WriteBytes(std::wstring(kStandinsFolder) + L"\\" + parts[0] + L".cfg",
             velmor::Utf8FromWide(text));
}

void TestBed::SetAddins(const std::wstring& rest) {
  UniqueHkey key;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kAddinKey, 0, nullptr, 0,
                                   KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) FailWith(L"cannot open Excel's add-in list", status);
  for (const std::wstring& name : AddinNames(key.get())) {
    status = RegDeleteValueW(key.get(), name.c_str());
    if (status != ERROR_SUCCESS) FailWith(L"cannot remove the add-in value " + name, status);
  }
  for (const std::wstring& part : SplitBars(rest)) {
    if (part.empty()) continue;
    const size_t equals = part.find(L'=');
    const std::wstring name = part.substr(0, equals);
    if (equals == std::wstring::npos || !IsAddinName(name)) {
      Fail(L"expected OPEN=<data>, OPEN1=<data>, ...; got " + Quote(part));
    }
    const std::wstring data = part.substr(equals + 1);
    status = RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) FailWith(L"cannot set the add-in value " + name, status);
  }
}

void TestBed::Hold(const std::wstring& path) {
  UniqueHandle file(CreateFileW(FileApiPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) FailWith(L"cannot open " + Quote(path), GetLastError());
  held_.push_back(std::move(file));
}

void TestBed::Link(const std::wstring& rest) {
  const std::vector<std::wstring> parts = SplitBars(rest);
  if (parts.size() != 2) Fail(L"expected link <new> | <existing>");
  const std::wstring link = FullPathName(parts[0]);
  const std::wstring target = FullPathName(parts[1]);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    FailWith(L"cannot link to " + Quote(target), GetLastError());
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    if (!CreateHardLinkW(link.c_str(), target.c_str(), nullptr)) {
      FailWith(L"cannot link " + Quote(link) + L" to " + Quote(target), GetLastError());
    }
  } else if (velmor::win32::RunningUnderWine()) {
    RunUnixCommand(L"ln -s", {target, link}, link, true);
  } else {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    Run(L"\"" + std::wstring(system) + L"\\cmd.exe\" /c mklink /J \"" + link + L"\" \"" + target +
            L"\"",
        60000);
  }
}

void TestBed::Run(const std::wstring& rest, unsigned long timeoutMs) {
  const auto [name, args] = SplitCommand(rest);
  const std::wstring program = Program(name);
  const StartedProcess started = StartProgram(program, args, true);
  if (WaitForSingleObject(started.process.get(), timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(started.process.get(), 1);
    Fail(Quote(program) + L" did not end within " + std::to_wstring(timeoutMs / 1000) +
         L" s; ended it");
  }
  DWORD code = 0;
  GetExitCodeProcess(started.process.get(), &code);
  if (code != 0) {
    Fail(Quote(program) + L" ended with exit code " + velmor::FormatErrorNumber(code));
  }
}

}  // namespace e2e
