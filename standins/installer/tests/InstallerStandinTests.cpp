// Runs the two installer stand-ins the way the setup does (CreateProcess with a show command and a
// working folder) and checks what they leave behind: journal lines, exit codes, the window, and the
// product folder. It rewrites C:\Velmor and C:\standins, so it runs only inside a Wine prefix.

#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Handles.h"
#include "StandinFiles.h"

namespace {

int failures = 0;

void Check(bool ok, const std::wstring& what) {
  if (!ok) {
    ++failures;
    std::printf("  FAILED: %s\n", standins::ToUtf8(what).c_str());
  }
}

using velmor::win32::UniqueFind;
using velmor::win32::UniqueHandle;

const std::wstring kState = L"C:\\standins";
const std::wstring kProduct = L"C:\\Velmor";
const std::wstring kWorkFolder = L"C:\\installer test";
const std::vector<std::wstring> kProductFiles = {L"Velmor_Tool.xls", L"CordaleEx.xla",
                                                 L"BriselEx.xla",    L"TorvaneEx.xla",
                                                 L"MalvixEx.xla",    L"QuillonEx.xla"};

std::string ReadBytes(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

void WriteText(const std::wstring& path, const std::string& text) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Empties a folder (files and plain subfolders) and removes it, whatever its attributes.
void RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW entry;
  {
    UniqueFind search(FindFirstFileW((path + L"\\*").c_str(), &entry));
    if (search) {
      do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
      } while (FindNextFileW(search.get(), &entry));
    }
  }
  RemoveDirectoryW(path.c_str());
}

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  return Folder(path);
}

struct Outcome {
  DWORD exit_code = 0;
  DWORD pid = 0;
  std::wstring command_line;
  std::vector<std::wstring> journal;  // lines written while it ran
};

// Starts exe with args in kWorkFolder and the given show command, calls `during` with its process
// while it runs, and waits (at most 30 s) for it to end.
Outcome RunInstaller(const std::wstring& exe, const std::wstring& args, WORD show,
                     const std::function<void(HANDLE)>& during = {}) {
  Outcome outcome;
  const std::string before = ReadBytes(kState + L"\\journal.txt");
  outcome.command_line = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
  std::wstring command_line = outcome.command_line;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      kWorkFolder.c_str(), &startup, &info)) {
    Check(false, L"cannot start " + exe);
    return outcome;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  outcome.pid = info.dwProcessId;
  if (during) during(process.get());
  Check(WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0, exe + L" did not end");
  GetExitCodeProcess(process.get(), &outcome.exit_code);

  std::wstring added =
      standins::FromUtf8(ReadBytes(kState + L"\\journal.txt").substr(before.size()));
  size_t start = 0;
  while (start < added.size()) {
    size_t end = added.find(L'\n', start);
    if (end == std::wstring::npos) end = added.size();
    std::wstring line = added.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    outcome.journal.push_back(line);
    start = end + 1;
  }
  return outcome;
}

void Orders(const std::wstring& name, const std::string& lines) {
  WriteText(kState + L"\\" + name + L".cfg", lines);
}

void Fresh() {
  RemoveTree(kProduct);
  RemoveTree(kState);
  CreateDirectoryW(kState.c_str(), nullptr);
}

std::vector<std::wstring> ExpectedJournal(const std::wstring& name, const Outcome& outcome,
                                          const std::vector<std::wstring>& middle,
                                          const std::wstring& exit) {
  std::vector<std::wstring> lines = {name + L": start pid=" + std::to_wstring(outcome.pid) +
                                     L" cmdline=" + outcome.command_line + L" cwd=" + kWorkFolder};
  for (const auto& line : middle) lines.push_back(name + L": " + line);
  lines.push_back(name + L": end exit=" + exit);
  return lines;
}

void CheckJournal(const Outcome& outcome, const std::vector<std::wstring>& expected) {
  Check(outcome.journal == expected, L"journal differs");
  if (outcome.journal != expected) {
    for (const auto& line : outcome.journal)
      std::printf("    got:  %s\n", standins::ToUtf8(line).c_str());
    for (const auto& line : expected) std::printf("    want: %s\n", standins::ToUtf8(line).c_str());
  }
}

std::vector<std::wstring> Wrote(const std::vector<std::wstring>& names) {
  std::vector<std::wstring> lines;
  for (const auto& name : names) lines.push_back(L"wrote " + kProduct + L"\\" + name);
  return lines;
}

}  // namespace

int wmain() {
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr) {
    std::printf("These tests rewrite C:\\Velmor and C:\\standins; run them in a Wine prefix.\n");
    return 2;
  }
  const std::wstring redist = OwnFolder() + L"\\vcredist_x86.exe";
  const std::wstring package = OwnFolder() + L"\\Velmor_Pgm.exe";
  const std::wstring redist_name = L"vcredist_x86.exe";
  const std::wstring package_name = L"Velmor_Pgm.exe";
  CreateDirectoryW(kWorkFolder.c_str(), nullptr);
  // The package carries UnInstall.exe only in builds that have it.
  std::vector<std::wstring> all_files = kProductFiles;

  std::printf("redist: journal, arguments, folder, exit code, no product folder\n");
  {
    Fresh();
    Outcome run = RunInstaller(redist, L"/q /norestart", SW_SHOWNORMAL);
    Check(run.exit_code == 0, L"exit code " + std::to_wstring(run.exit_code));
    CheckJournal(run, ExpectedJournal(redist_name, run, {}, L"0"));
    Check(!Exists(kProduct), L"the redist created C:\\Velmor");

    Orders(redist_name, "delay_ms=0\r\nexit=3010\r\n");
    run = RunInstaller(redist, L"", SW_SHOWNORMAL);
    Check(run.exit_code == 3010, L"ordered exit code, got " + std::to_wstring(run.exit_code));
    CheckJournal(run, ExpectedJournal(redist_name, run, {}, L"3010"));
  }

  std::printf("package: lays out every file, in order, with the carried content\n");
  {
    Fresh();
    Outcome run = RunInstaller(package, L"", SW_SHOWNORMAL);
    if (Exists(kProduct + L"\\UnInstall.exe")) all_files.push_back(L"UnInstall.exe");
    Check(run.exit_code == 0, L"exit code " + std::to_wstring(run.exit_code));
    CheckJournal(run, ExpectedJournal(package_name, run, Wrote(all_files), L"0"));
    for (const auto& name : kProductFiles) {
      const std::string bytes = ReadBytes(kProduct + L"\\" + name);
      const std::string base = standins::ToUtf8(name.substr(0, name.find(L'.')));
      Check(bytes.find("placeholder") != std::string::npos && bytes.find(base) != std::string::npos,
            name + L" does not hold its placeholder text");
    }
    if (all_files.back() == L"UnInstall.exe") {
      Check(ReadBytes(kProduct + L"\\UnInstall.exe").rfind("MZ", 0) == 0,
            L"UnInstall.exe is not a program");
    }
  }

  std::printf("package: omit orders, overwriting read-only files\n");
  {
    Fresh();
    CreateDirectoryW(kProduct.c_str(), nullptr);
    const std::wstring old_file = kProduct + L"\\CordaleEx.xla";
    WriteText(old_file, "old content");
    SetFileAttributesW(old_file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    Orders(package_name, "delay_ms=0\r\nomit=TorvaneEx.xla\r\nomit = briselex.XLA\r\nexit=0\r\n");
    Outcome run = RunInstaller(package, L"", SW_SHOWNORMAL);
    std::vector<std::wstring> kept;
    for (const auto& name : all_files) {
      if (name != L"TorvaneEx.xla" && name != L"BriselEx.xla") kept.push_back(name);
    }
    Check(run.exit_code == 0, L"exit code " + std::to_wstring(run.exit_code));
    CheckJournal(run, ExpectedJournal(package_name, run, Wrote(kept), L"0"));
    Check(!Exists(kProduct + L"\\TorvaneEx.xla") && !Exists(kProduct + L"\\BriselEx.xla"),
          L"an omitted file was written");
    Check(ReadBytes(old_file).find("CordaleEx") != std::string::npos,
          L"the read-only file was not replaced");
    Check(GetFileAttributesW(old_file.c_str()) == FILE_ATTRIBUTE_ARCHIVE ||
              GetFileAttributesW(old_file.c_str()) == FILE_ATTRIBUTE_NORMAL,
          L"the replaced file kept its old attributes");
  }

  std::printf("package: a file that cannot be written fails the install\n");
  {
    Fresh();
    CreateDirectoryW(kProduct.c_str(), nullptr);
    CreateDirectoryW((kProduct + L"\\MalvixEx.xla").c_str(), nullptr);  // a folder in the way
    Orders(package_name, "delay_ms=0\r\nexit=0\r\n");
    Outcome run = RunInstaller(package, L"", SW_SHOWNORMAL);
    Check(run.exit_code == 1, L"exit code " + std::to_wstring(run.exit_code));
    Check(run.journal.size() == 7, L"journal length " + std::to_wstring(run.journal.size()));
    if (run.journal.size() == 7) {
      const std::wstring prefix = package_name + L": cannot write C:\\Velmor\\MalvixEx.xla: error ";
      Check(run.journal[5].rfind(prefix, 0) == 0, L"failure line: " + run.journal[5]);
      Check(run.journal[6] == package_name + L": end exit=1", L"end line: " + run.journal[6]);
    }
    Check(!Exists(kProduct + L"\\QuillonEx.xla"), L"kept going after a failure");

    Fresh();
    WriteText(kProduct, "a file where the product folder belongs");
    Orders(package_name, "delay_ms=0\r\nexit=5\r\n");
    run = RunInstaller(package, L"", SW_SHOWNORMAL);
    Check(run.exit_code == 1, L"C:\\Velmor as a file: exit code " + std::to_wstring(run.exit_code));
    Check(run.journal.size() == 3 &&
              run.journal[1].find(L"cannot create C:\\Velmor") != std::wstring::npos,
          L"C:\\Velmor as a file is not journalled");
  }

  std::printf("an order file that cannot be read means defaults\n");
  {
    Fresh();
    Orders(package_name, "exit=9\r\nomit=MalvixEx.xla\r\n");
    const std::wstring cfg = kState + L"\\" + package_name + L".cfg";
    UniqueHandle lock(
        CreateFileW(cfg.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    Outcome run = RunInstaller(package, L"", SW_SHOWNORMAL);
    Check(run.exit_code == 0, L"exit code " + std::to_wstring(run.exit_code));
    Check(Exists(kProduct + L"\\MalvixEx.xla"), L"an omit order was read from a locked file");
  }

  std::printf("the window: title and the caller's show command\n");
  {
    Fresh();
    // The stand-in would wait a minute; the test closes its window once it has seen what it
    // checks, which ends the wait.
    Orders(redist_name, "delay_ms=60000\r\n");
    const std::wstring title = redist_name + L" - stand-in installer";
    struct Case {
      WORD show;
      bool visible;
      bool iconic;
    };
    for (const Case& c : {Case{SW_SHOWNORMAL, true, false}, Case{SW_SHOWMINNOACTIVE, true, true},
                          Case{SW_HIDE, false, false}}) {
      const std::wstring show = L"show " + std::to_wstring(c.show);
      RunInstaller(redist, L"", c.show, [&](HANDLE process) {
        // The window is created hidden and shown a moment later: wait for the state the show
        // command gives, as long as the stand-in runs (at most 20 s). A hidden window must stay
        // hidden for a second once found.
        HWND window = nullptr;
        bool reached = false;
        bool ever_visible = false;
        ULONGLONG hidden_until = 0;
        const ULONGLONG deadline = GetTickCount64() + 20000;
        while (!reached && GetTickCount64() < deadline &&
               WaitForSingleObject(process, 20) == WAIT_TIMEOUT) {
          if (window == nullptr) window = FindWindowW(nullptr, title.c_str());
          if (window == nullptr) continue;
          const bool visible = IsWindowVisible(window) != FALSE;
          ever_visible = ever_visible || visible;
          if (c.visible) {
            reached = visible && (IsIconic(window) != FALSE) == c.iconic;
          } else {
            if (hidden_until == 0) hidden_until = GetTickCount64() + 1000;
            reached = GetTickCount64() >= hidden_until;
          }
        }
        Check(window != nullptr, show + L": no window titled " + title);
        if (c.visible) {
          Check(reached, show + (c.iconic ? L": not shown minimized" : L": not shown normally"));
        } else {
          Check(!ever_visible, show + L": visibility");
        }
        if (window != nullptr) PostMessageW(window, WM_CLOSE, 0, 0);
      });
    }
  }

  Fresh();
  RemoveTree(kWorkFolder);
  std::printf(failures == 0 ? "all passed\n" : "%d check(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
