// The test bed (declared in Driver.h) and the steps that lay out the state.

#include <algorithm>
#include <cwctype>

#include "DescribeError.h"
#include "Driver.h"
#include "RuntimeError.h"
#include "Utf8.h"
#include "Win32Support.h"

namespace e2e {
namespace {

using velmor::win32::DescribeError;
using velmor::win32::UniqueFind;
using velmor::win32::UniqueHandle;
using velmor::win32::UniqueHkey;

constexpr unsigned long kRunTimeoutMs = 60000;
// How often a start that Wine lost under load is tried again, and the pause before each try.
constexpr int kStartRetries = 3;
constexpr DWORD kStartRetryPauseMs = 500;
// How deep a driver runs: one started by a scenario's driver is one level deeper.
constexpr wchar_t kDepthVariable[] = L"VELMOR_E2E_DEPTH";

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Every program (*.exe) in the build folder by its lower-case file name. The Wine prefixes and
// the artifacts hold copies of programs from earlier runs, CMake's folder its compiler checks:
// they are left out.
void FindPrograms(const std::wstring& folder, std::map<std::wstring, std::wstring>& programs) {
  for (const WIN32_FIND_DATAW& entry : FilesMatching(folder + L"\\*")) {
    const std::wstring name = Lower(entry.cFileName);
    const std::wstring path = folder + L"\\" + entry.cFileName;
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      if (name.ends_with(L".exe")) programs.emplace(name, path);
    } else if (!name.starts_with(L"wineprefix") && name != L"artifacts" && name != L"cmakefiles" &&
               !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      FindPrograms(path, programs);
    }
  }
}

bool IsAddinName(std::wstring_view name) {
  if (!name.starts_with(L"OPEN")) return false;
  name.remove_prefix(4);
  return std::all_of(name.begin(), name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// "NAME=DATA", its name one of Excel's add-in values.
long ReadAddinValue(const std::wstring& text) {
  const size_t equals = text.find(L'=');
  if (equals == std::wstring::npos || !IsAddinName(text.substr(0, equals))) {
    Fail(L"expected OPEN=<data>, OPEN1=<data>, ...; got " + Quote(text));
  }
  return 0;
}

long ReadCommand(const std::wstring& text) {
  SplitCommand(text);
  return 0;
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

// Whoever changes Excel's add-in list holds this; once the list is put back for the last time
// nothing changes it any more, not a step that runs on while the run is being stopped.
SRWLOCK addinList = SRWLOCK_INIT;
bool addinListPutBack = false;

// Makes Excel's add-in list hold exactly these "NAME=DATA" values.
void SetAddinValues(const std::vector<std::wstring>& values) {
  for (const std::wstring& value : values) ReadAddinValue(value);
  AcquireSRWLockExclusive(&addinList);
  const struct Release {
    ~Release() { ReleaseSRWLockExclusive(&addinList); }
  } release;
  if (addinListPutBack) Fail(L"the run is ending: Excel's add-in list has been put back");
  UniqueHkey key;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kAddinKey, 0, nullptr, 0,
                                   KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) FailWith(L"cannot open Excel's add-in list", status);
  for (const std::wstring& name : AddinNames(key.get())) {
    status = RegDeleteValueW(key.get(), name.c_str());
    if (status != ERROR_SUCCESS) FailWith(L"cannot remove the add-in value " + name, status);
  }
  for (const std::wstring& value : values) {
    const size_t equals = value.find(L'=');
    const std::wstring name = value.substr(0, equals);
    const std::wstring data = value.substr(equals + 1);
    status = RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) FailWith(L"cannot set the add-in value " + name, status);
  }
}

// The values in a file of saved add-in values: its lines but the comments.
std::vector<std::wstring> SavedLines(const std::string& bytes) {
  std::vector<std::wstring> values = TextLines(bytes);
  std::erase_if(values, [](const std::wstring& line) { return line.starts_with(L'#'); });
  return values;
}

// One file, however the two paths name it.
bool SameFile(const std::wstring& a, const std::wstring& b) {
  const auto identify = [](const std::wstring& path) -> std::optional<BY_HANDLE_FILE_INFORMATION> {
    const UniqueHandle file(CreateFileW(
        FileApiPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return info;
  };
  const auto x = identify(a);
  const auto y = identify(b);
  return x && y && x->dwVolumeSerialNumber == y->dwVolumeSerialNumber &&
         x->nFileIndexHigh == y->nFileIndexHigh && x->nFileIndexLow == y->nFileIndexLow;
}

// Whether this process, and so every program it starts, runs elevated.
bool Elevated() {
  UniqueHandle token;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
         GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}

bool MachineClassesOnly() {
  static const bool machineOnly = velmor::win32::RunningUnderWine() || Elevated();
  return machineOnly;
}

// A value of a class key as COM finds it: a key of the user's classes hides the machine's key of
// that name, with all that is in it. Empty when missing.
std::wstring ClassesValue(const std::wstring& key, const std::wstring& subkey) {
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    UniqueHkey classes;
    if ((root == HKEY_CURRENT_USER && MachineClassesOnly()) ||
        RegOpenKeyExW(root, (L"Software\\Classes\\" + key).c_str(), 0, KEY_QUERY_VALUE,
                      classes.put()) != ERROR_SUCCESS) {
      continue;
    }
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    if (RegGetValueW(classes.get(), subkey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS) {
      return {};
    }
    return data;
  }
  return {};
}

}  // namespace

[[noreturn]] void FailWith(const std::wstring& what, DWORD error) {
  Fail(what + L": " + DescribeError(error));
}

std::vector<WIN32_FIND_DATAW> FilesMatching(const std::wstring& pattern) {
  std::vector<WIN32_FIND_DATAW> entries;
  WIN32_FIND_DATAW data{};
  UniqueFind find(FindFirstFileExW(FileApiPath(pattern).c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, 0));
  if (!find) {
    if (IsMissing(GetLastError())) return entries;
    FailWith(L"cannot list " + Quote(pattern), GetLastError());
  }
  do {
    const std::wstring_view name = data.cFileName;
    if (name != L"." && name != L"..") entries.push_back(data);
  } while (FindNextFileW(find.get(), &data));
  return entries;
}

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

std::string ReadWholeFile(const std::wstring& path) {
  std::wstring error;
  std::optional<std::string> bytes = ReadFileBytes(path, error);
  if (!bytes) Fail(L"cannot read " + Quote(path) + L": " + error);
  return std::move(*bytes);
}

std::vector<std::wstring> AddinValues() {
  UniqueHkey key;
  const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, kAddinKey, 0, KEY_QUERY_VALUE, key.put());
  if (status == ERROR_FILE_NOT_FOUND) return {};
  if (status != ERROR_SUCCESS) FailWith(L"cannot open Excel's add-in list", status);
  std::vector<std::wstring> values;
  for (const std::wstring& name : AddinNames(key.get())) {
    std::wstring data(32768, L'\0');
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    const LSTATUS got =
        RegGetValueW(key.get(), nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, data.data(), &size);
    if (got != ERROR_SUCCESS)
      FailWith(L"cannot read the add-in value " + name + L" as a text", got);
    values.push_back(name + L"=" + data.substr(0, size / sizeof(wchar_t) - 1));
  }
  std::sort(values.begin(), values.end());
  return values;
}

std::wstring ExcelServer() {
  const std::wstring clsid = ClassesValue(L"Excel.Application", L"CLSID");
  return clsid.empty() ? L"" : ClassesValue(L"CLSID\\" + clsid, L"LocalServer32");
}

SavedAddins::SavedAddins(bool keep) : keep_(keep) {
  wchar_t depth[16] = {};
  GetEnvironmentVariableW(kDepthVariable, depth, 16);
  file_ = Folder() + L"\\excel-addins-" + std::to_wstring(_wtoi(depth)) + L".txt";
  SetEnvironmentVariableW(kDepthVariable, std::to_wstring(_wtoi(depth) + 1).c_str());
  std::wstring error;
  if (const std::optional<std::string> left = ReadFileBytes(file_, error)) {
    Out(L"e2e_driver: a run that was stopped left Excel's add-in list in " + file_ +
        L": putting it back first\n");
    SetAddinValues(SavedLines(*left));
    if (keep_) DeleteFileW(file_.c_str());
    return;
  }
  if (keep_) return;
  std::wstring text =
      L"# Excel's add-in list (HKEY_CURRENT_USER\\" + std::wstring(kAddinKey) +
      L") as e2e_driver found it. It puts it back when the run ends, or the next run does.\n";
  for (const std::wstring& value : AddinValues()) {
    if (value.find_first_of(L"\r\n") != std::wstring::npos) {
      Fail(L"the add-in value " + Quote(value) + L" holds a line break: the driver cannot save it");
    }
    text += value + L"\n";
  }
  // Written whole or not at all: a run stopped meanwhile leaves no half list to put back.
  WriteBytes(file_ + L".new", velmor::Utf8FromWide(text));
  if (!MoveFileExW((file_ + L".new").c_str(), file_.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    FailWith(L"cannot save Excel's add-in list in " + Quote(file_), GetLastError());
  }
}

SavedAddins::~SavedAddins() {
  try {
    PutBack();
  } catch (const Failure& failure) {
    Err(L"e2e_driver: " + failure.message + L"\n");
  }
}

std::wstring SavedAddins::Folder() {
  wchar_t local[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    Fail(L"LOCALAPPDATA names no folder: there is no place to save Excel's add-in list");
  }
  return std::wstring(local) + L"\\Velmor test bed";
}

void SavedAddins::PutBack() {
  if (keep_ || file_.empty()) return;
  SetAddinValues(SavedLines(ReadWholeFile(file_)));
  AcquireSRWLockExclusive(&addinList);
  addinListPutBack = true;
  ReleaseSRWLockExclusive(&addinList);
  if (!DeleteFileW(file_.c_str())) FailWith(L"cannot remove " + Quote(file_), GetLastError());
  Out(L"e2e_driver: Excel's add-in list is as the run found it\n");
  file_.clear();
}

TestBed::TestBed(std::wstring buildFolder) : build_(std::move(buildFolder)) {}

std::wstring TestBed::Program(const std::wstring& nameOrPath) {
  if (nameOrPath.find_first_of(L"\\/:") != std::wstring::npos) return nameOrPath;
  if (!programs_) {
    programs_.emplace();
    FindPrograms(build_.substr(0, build_.size() - 1), *programs_);
  }
  const auto found = programs_->find(Lower(nameOrPath));
  if (found == programs_->end()) {
    Fail(nameOrPath + L" is not built in " + build_ + L" (build the win64 preset first)");
  }
  return found->second;
}

StartedProcess TestBed::Start(const std::wstring& command, bool shareOutput) {
  const auto [name, args] = SplitCommand(command);
  const std::wstring full = FullPathName(Program(name));
  if (name.empty() || full.empty()) Fail(L"bad program path " + Quote(name));
  RequireStandin(true);
  // A path beyond MAX_PATH is given in its short form, as a launcher that cannot pass long
  // paths would.
  std::wstring launch = full;
  wchar_t shortForm[MAX_PATH];
  const DWORD shortLength =
      full.size() >= MAX_PATH ? GetShortPathNameW(full.c_str(), shortForm, MAX_PATH) : 0;
  if (shortLength > 0 && shortLength < MAX_PATH) launch.assign(shortForm, shortLength);
  // The program starts in its own folder, as it does when opened from Explorer.
  const std::wstring folder = FolderOf(launch);
  std::wstring commandLine = L"\"" + launch + L"\"" + (args.empty() ? L"" : L" " + args);
  // Wine 8's CreateProcessW copies the long form of the program's path into a buffer of MAX_PATH
  // characters and, when that form does not fit, goes on with the buffer unwritten: the program
  // it looks for is then whatever its stack held before, so a start by a short path worked or
  // failed with "file not found" depending on how this driver was compiled. Such a program is
  // named relative to its folder, made this driver's current folder for the call: that name's
  // long form fits, and Windows resolves it the same way.
  const bool relative = launch != full && !folder.empty();
  const std::wstring previous = FullPathName(L".");
  if (relative && !SetCurrentDirectoryW(folder.c_str())) {
    FailWith(L"cannot enter the folder " + Quote(folder), GetLastError());
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (shareOutput) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE h : {si.hStdOutput, si.hStdError}) {
      if (h != nullptr && h != INVALID_HANDLE_VALUE) {
        SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
      }
    }
  }
  // Wine 8's CreateProcessW fails with ERROR_INTERNAL_ERROR when the new process ends before it
  // has reported its start, which a loaded machine brings about before any of the program's code
  // has run: such a start, and only such a one, is tried again a few times.
  PROCESS_INFORMATION pi{};
  BOOL started = FALSE;
  DWORD error = 0;
  for (int retry = 0; retry <= kStartRetries; ++retry) {
    if (retry > 0) {
      Out(L"    " + Quote(launch) + L" did not start (" + DescribeError(error) +
          L"): starting it again\n");
      Sleep(kStartRetryPauseMs);
    }
    started = CreateProcessW(relative ? launch.substr(folder.size()).c_str() : launch.c_str(),
                             commandLine.data(), nullptr, nullptr, shareOutput, 0, nullptr,
                             folder.empty() ? nullptr : folder.c_str(), &si, &pi);
    error = GetLastError();
    if (started || error != ERROR_INTERNAL_ERROR) break;
  }
  if (relative) SetCurrentDirectoryW(previous.c_str());
  if (!started) FailWith(L"cannot start " + Quote(launch), error);
  const UniqueHandle thread(pi.hThread);
  return {UniqueHandle(pi.hProcess), pi.dwProcessId};
}

void TestBed::RequireStandin(bool noneToo) {
  const std::wstring server = ExcelServer();
  if (server.empty() && noneToo) return;
  const std::wstring standin = Program(L"ExcelStandin.exe");
  const std::wstring seen = L" for the programs the driver starts, which see " +
                            std::wstring(MachineClassesOnly() ? L"the machine's classes only"
                                                              : L"yours before the machine's");
  const std::wstring what =
      MachineClassesOnly()
          ? L"the stand-in registers there from an elevated prompt, never over another Excel: run "
            L"on a machine without Excel, or from a prompt that is not elevated"
          : L"register the stand-in for your account: ExcelStandin.exe /RegServer, or /RegServer "
            L"/force in front of a real Excel";
  if (server.empty()) StopRun(L"Excel.Application is not registered" + seen + L"; " + what);
  if (!SameFile(SplitCommand(server).first, standin)) {
    StopRun(L"Excel.Application names " + Quote(server) + seen +
            L", not the build's Excel stand-in " + Quote(standin) +
            L": nothing is started that could drive it; " + what);
  }
}

void TestBed::Hold(const std::wstring& path) {
  UniqueHandle file(CreateFileW(FileApiPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) FailWith(L"cannot open " + Quote(path), GetLastError());
  held_.push_back(std::move(file));
}

namespace {

// "run": to its end within a minute, or the step timeout when longer.
void RunToEnd(Driver& d, const std::wstring& command) {
  const StartedProcess started = d.bed.Start(command, true);
  const unsigned long ms = std::max(d.timeoutMs, kRunTimeoutMs);
  if (WaitForSingleObject(started.process.get(), ms) != WAIT_OBJECT_0) {
    TerminateProcess(started.process.get(), 1);
    Fail(Quote(command) + L" did not end within " + std::to_wstring(ms / 1000) + L" s; ended it");
  }
  DWORD code = 0;
  GetExitCodeProcess(started.process.get(), &code);
  if (code != 0) Fail(Quote(command) + L" ended with exit code " + velmor::FormatErrorNumber(code));
}

// Wine neither lays nor removes a symbolic link itself, but runs a Unix program as it runs a
// Windows one: runs /bin/<command> on the Unix paths of paths, and waits until watched is there
// (present) or gone, for a Unix program gives no handle to wait on.
void RunUnixCommand(Driver& d, const std::wstring& command, const std::vector<std::wstring>& paths,
                    const std::wstring& watched, bool present) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  std::wstring line = L"Z:\\bin\\" + command;
  for (const std::wstring& path : paths) {
    char* name = unixName != nullptr ? unixName(path.c_str()) : nullptr;
    if (name == nullptr) Fail(L"no Unix path for " + Quote(path));
    line += L" \"" + velmor::WideFromUtf8(name) + L"\"";
    HeapFree(GetProcessHeap(), 0, name);
  }
  d.bed.Start(line, true);
  const auto done = [&] {
    return (GetFileAttributesW(watched.c_str()) != INVALID_FILE_ATTRIBUTES) == present;
  };
  if (!d.Poll(kRunTimeoutMs, done, {false, false})) {
    Fail(L"/bin/" + command + L" did not do its work within a minute");
  }
}

// "remove": read-only files too; nothing there is fine.
void Remove(Driver& d, const std::wstring& path) {
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
      return RunUnixCommand(d, L"rm", {path}, api, false);
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      const std::wstring full = FullPathName(path);
      for (const WIN32_FIND_DATAW& entry : FilesMatching(full + L"\\*")) {
        Remove(d, full + L"\\" + entry.cFileName);
      }
    }
  }
  // A program that has just ended, such as an installer that journalled its end, may hold its
  // file a moment longer: it is tried again for 10 s.
  for (int tries = 0; (attributes & FILE_ATTRIBUTE_DIRECTORY) ? !RemoveDirectoryW(api.c_str())
                                                              : !DeleteFileW(api.c_str());
       ++tries) {
    const DWORD error = GetLastError();
    if (tries == 250 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
      FailWith(L"cannot remove " + Quote(path), error);
    }
    Sleep(40);
  }
}

// "link <new> | <existing>": to a folder a junction, or under Wine, which lays none, a Unix
// symbolic link (which Wine shows as a folder's reparse point); to a file a hard link.
void Link(Driver& d, const Step& step) {
  const std::wstring link = FullPathName(step.args[0].text);
  const std::wstring target = FullPathName(step.args[1].text);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    FailWith(L"cannot link to " + Quote(target), GetLastError());
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    if (!CreateHardLinkW(link.c_str(), target.c_str(), nullptr)) {
      FailWith(L"cannot link " + Quote(link) + L" to " + Quote(target), GetLastError());
    }
  } else if (velmor::win32::RunningUnderWine()) {
    RunUnixCommand(d, L"ln -s", {target, link}, link, true);
  } else {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    RunToEnd(d, L"\"" + std::wstring(system) + L"\\cmd.exe\" /c mklink /J \"" + link + L"\" \"" +
                    target + L"\"");
  }
}

// "copy <file> ... | <folder>\" or "copy <file> | <file>"; missing folders are created.
void Copy(Driver& d, const Args& args) {
  const std::vector<std::wstring> sources = Words(args[0].text);
  const std::wstring& target = args[1].text;
  const bool intoFolder = target.ends_with(L'\\');
  if (!intoFolder && sources.size() != 1) Fail(L"one file is copied to a file name");
  CreateFolders(intoFolder ? target : FolderOf(FullPathName(target)));
  for (const std::wstring& name : sources) {
    const std::wstring source = d.bed.Program(name);
    const std::wstring to = intoFolder ? target + source.substr(FolderOf(source).size()) : target;
    if (!CopyFileW(FileApiPath(source).c_str(), FileApiPath(to).c_str(), FALSE)) {
      FailWith(L"cannot copy " + Quote(source) + L" to " + Quote(to), GetLastError());
    }
  }
}

void MakeReadOnly(const std::wstring& path) {
  const std::wstring api = FileApiPath(path);
  const DWORD attributes = GetFileAttributesW(api.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      !SetFileAttributesW(api.c_str(), attributes | FILE_ATTRIBUTE_READONLY)) {
    FailWith(L"cannot make " + Quote(path) + L" read-only", GetLastError());
  }
}

// The steps that lay out the state.
constexpr Verb kVerbs[] = {
    {L"remove", L"<path>", [](Driver& d, const Step& s) { Remove(d, s.args[0].text); }},
    {L"copy", L"<files> | <target>", [](Driver& d, const Step& s) { Copy(d, s.args); }},
    {L"read-only", L"<file>", [](Driver&, const Step& s) { MakeReadOnly(s.args[0].text); }},
    // In UTF-8, with a line break at the end.
    {L"write", L"<file> | <text>",
     [](Driver&, const Step& s) {
       WriteBytes(s.args[0].text, velmor::Utf8FromWide(Unescape(s.args[1].text) + L"\n"));
     }},
    {L"order", L"<stand-in> | <order>...",
     [](Driver&, const Step& s) {
       std::wstring text;
       for (const std::wstring& order : Texts(s.args, 1)) text += order + L"\n";
       WriteBytes(std::wstring(kStandinsFolder) + L"\\" + s.args[0].text + L".cfg",
                  velmor::Utf8FromWide(text));
     }},
    {L"set-addins", L"[<value:addin>]...",
     [](Driver&, const Step& s) { SetAddinValues(Texts(s.args)); }},
    {L"lock", L"<file>", [](Driver& d, const Step& s) { d.bed.Hold(s.args[0].text); }},
    {L"link", L"<new> | <existing>", Link},
    {L"run", L"<program:command>", [](Driver& d, const Step& s) { RunToEnd(d, s.args[0].text); }},
};

constexpr Kind kKinds[] = {{L"addin", ReadAddinValue}, {L"command", ReadCommand}};

}  // namespace

Family StateSteps() { return {kVerbs, kKinds}; }

}  // namespace e2e
