#include "Checks.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "Console.h"
#include "DescribeError.h"
#include "Handles.h"
#include "Steps.h"
#include "TestBed.h"
#include "Utf8.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using velmor::win32::DescribeError;
using velmor::win32::UniqueFind;
using velmor::win32::UniqueHandle;

// How long a check waits for the stand-ins to finish and for the journal to show what it looks
// for: a stand-in ends within a second or two, far longer on a loaded machine.
constexpr auto kSettleBound = 60s;
constexpr std::wstring_view kRepeated = L" [repeated]";

// Polls until done() holds (true) or the bound has passed (false).
bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kSettleBound;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(200ms);
  }
  return true;
}

size_t CountLines(const std::vector<std::wstring>& lines,
                  const std::function<bool(const std::wstring&)>& match) {
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), match));
}

bool Holds(const std::wstring& line, std::wstring_view text) {
  return line.find(text) != std::wstring::npos;
}

// "<who>: <word> ...", where <who> holds no colon.
bool StartsWithWord(const std::wstring& line, std::wstring_view word) {
  const size_t colon = line.find(L':');
  return colon != std::wstring::npos && line.compare(colon, 2, L": ") == 0 &&
         line.compare(colon + 2, word.size(), word) == 0;
}

// Every stand-in that journalled its start has journalled its end (an Excel told to end inside
// a call journals "#end inside <member>" instead of "#exit").
bool Settled(const std::vector<std::wstring>& lines) {
  const size_t started = CountLines(lines, [](const auto& l) { return Holds(l, L": #start"); });
  const size_t ended = CountLines(
      lines, [](const auto& l) { return Holds(l, L": #exit") || Holds(l, L": #end inside "); });
  const size_t installers =
      CountLines(lines, [](const auto& l) { return StartsWithWord(l, L"start "); });
  const size_t installed =
      CountLines(lines, [](const auto& l) { return StartsWithWord(l, L"end exit="); });
  return started == ended && installers == installed;
}

// Waits, with the bound, for the stand-ins to finish; the check that follows decides.
std::vector<std::wstring> SettledJournal() {
  std::vector<std::wstring> lines;
  WaitUntil([&] {
    lines = JournalLines();
    return Settled(lines);
  });
  return lines;
}

std::vector<std::wstring> Events(const std::vector<std::wstring>& lines) {
  std::vector<std::wstring> events;
  for (const std::wstring& line : lines) {
    if (Holds(line, L": wrote ")) continue;
    std::wstring event = line;
    for (std::wstring_view word : {L"start", L"#start", L"#exit"}) {
      if (StartsWithWord(line, std::wstring(word) + L" pid=")) {
        event = line.substr(0, line.find(L':') + 2) + std::wstring(word);
      }
    }
    events.push_back(std::move(event));
  }
  return events;
}

struct Expected {
  std::wstring text;
  bool repeated = false;
};

// The events against the expected ones; counts holds, for each expected event, how many events
// it stood for.
bool Matches(const std::vector<std::wstring>& events, const std::vector<Expected>& expected,
             std::vector<size_t>& counts) {
  counts.assign(expected.size(), 0);
  size_t at = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    while (at < events.size() && events[at] == expected[i].text &&
           (expected[i].repeated || counts[i] == 0)) {
      ++counts[i];
      ++at;
    }
    if (counts[i] == 0) return false;
  }
  return at == events.size();
}

// The two lists as a line diff: "  " both, "- " expected only, "+ " found only.
std::wstring Diff(const std::vector<std::wstring>& want, const std::vector<std::wstring>& have) {
  const size_t n = want.size();
  const size_t m = have.size();
  std::wstring out;
  if (n * m > 1'000'000) {
    for (const auto& line : want) out += L"\n  - " + line;
    for (const auto& line : have) out += L"\n  + " + line;
    return out;
  }
  // common[i][j]: the longest common run of want[i..] and have[j..].
  std::vector<std::vector<size_t>> common(n + 1, std::vector<size_t>(m + 1, 0));
  for (size_t i = n; i-- > 0;) {
    for (size_t j = m; j-- > 0;) {
      common[i][j] = want[i] == have[j] ? common[i + 1][j + 1] + 1
                                        : std::max(common[i + 1][j], common[i][j + 1]);
    }
  }
  size_t i = 0;
  size_t j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && want[i] == have[j]) {
      out += L"\n    " + want[i++];
      ++j;
    } else if (j < m && (i == n || common[i][j + 1] >= common[i + 1][j])) {
      out += L"\n  + " + have[j++];
    } else {
      out += L"\n  - " + want[i++];
    }
  }
  return out;
}

// The events for the diff: runs of a repeated event written as the expected item is.
std::vector<std::wstring> Collapsed(const std::vector<std::wstring>& events,
                                    const std::vector<Expected>& expected) {
  std::vector<std::wstring> out;
  for (const std::wstring& event : events) {
    const bool repeated = std::any_of(expected.begin(), expected.end(), [&](const Expected& e) {
      return e.repeated && e.text == event;
    });
    const std::wstring shown = repeated ? event + std::wstring(kRepeated) : event;
    if (!repeated || out.empty() || out.back() != shown) out.push_back(shown);
  }
  return out;
}

std::wstring List(const std::vector<std::wstring>& items) {
  std::wstring out;
  for (const std::wstring& item : items) out += (out.empty() ? L"" : L" | ") + item;
  return L"[" + out + L"]";
}

// The default value of a key of HKEY_CLASSES_ROOT, as this user sees it; empty when missing.
std::wstring ClassesValue(const std::wstring& subkey) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, subkey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data,
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  return data;
}

// The program of a server command line: the quoted path, or everything up to the first space.
std::wstring CommandProgram(const std::wstring& command) { return SplitCommand(command).first; }

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

}  // namespace

std::vector<std::wstring> JournalLines() {
  std::wstring error;
  const std::optional<std::string> bytes = ReadFileBytes(kJournalPath, error);
  std::vector<std::wstring> lines;
  if (!bytes) return lines;
  const std::wstring text = WithoutCR(velmor::WideFromUtf8(*bytes));
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find(L'\n', pos);
    if (end == std::wstring::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

void ExpectJournal(const std::vector<std::wstring>& items) {
  if (items.empty()) {
    const std::vector<std::wstring> lines = SettledJournal();
    if (!lines.empty()) Fail(L"expected an empty journal; it holds " + List(lines));
    return;
  }
  std::vector<Expected> expected;
  for (const std::wstring& item : items) {
    const bool repeated = item.ends_with(kRepeated);
    expected.push_back(
        {repeated ? item.substr(0, item.size() - kRepeated.size()) : item, repeated});
  }
  SettledJournal();
  std::vector<std::wstring> events;
  std::vector<size_t> counts;
  if (!WaitUntil([&] { return Matches(events = Events(JournalLines()), expected, counts); })) {
    std::vector<std::wstring> want;
    for (const Expected& e : expected)
      want.push_back(e.repeated ? e.text + kRepeated.data() : e.text);
    Fail(L"journal events differ (- expected, + found):" + Diff(want, Collapsed(events, expected)));
  }
  for (size_t i = 0; i < expected.size(); ++i) {
    if (expected[i].repeated) {
      Out(L"    " + Quote(expected[i].text) + L" " + std::to_wstring(counts[i]) + L" times\n");
    }
  }
}

void ExpectJournalHas(const std::wstring& text) {
  if (!WaitUntil([&] {
        const auto lines = JournalLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const auto& l) { return Holds(l, text); });
      })) {
    Fail(L"no journal line holds " + Quote(text));
  }
}

void ExpectJournalLacks(const std::wstring& text) {
  for (const std::wstring& line : SettledJournal()) {
    if (Holds(line, text)) Fail(L"the journal has " + Quote(line));
  }
}

void ExpectJournalCount(const std::wstring& rest) {
  const size_t bar = rest.find(L'|');
  if (bar == std::wstring::npos) Fail(L"expected <count> | <text>");
  const unsigned long want = RequireNumber(Trim(rest.substr(0, bar)), L"<count>");
  const std::wstring text = Trim(rest.substr(bar + 1));
  const size_t have =
      CountLines(SettledJournal(), [&](const std::wstring& l) { return Holds(l, text); });
  if (have != want) {
    Fail(std::to_wstring(have) + L" journal line(s) hold " + Quote(text) + L", expected " +
         std::to_wstring(want));
  }
}

void ExpectAddins(const std::wstring& rest) {
  std::vector<std::wstring> want;
  for (const std::wstring& part : SplitBars(rest)) {
    if (!part.empty()) want.push_back(part);
  }
  std::sort(want.begin(), want.end());
  const std::vector<std::wstring> have = AddinValues();
  if (have != want) {
    Fail(L"Excel's add-in list: expected " + List(want) + L", found " + List(have));
  }
}

void ExpectFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(FileApiPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    Fail(L"expected the file " + Quote(path) + L": " + DescribeError(GetLastError()));
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    Fail(L"expected the file " + Quote(path) + L", found a folder");
  }
}

void ExpectAbsent(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(FileApiPath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    Fail(L"expected nothing at " + Quote(path) + L", found a " +
         ((attributes & FILE_ATTRIBUTE_DIRECTORY) ? L"folder" : L"file"));
  }
}

void ExpectFiles(const std::wstring& rest) {
  const std::vector<std::wstring> parts = SplitBars(rest);
  std::vector<std::wstring> want;
  for (size_t i = 1; i < parts.size(); ++i) {
    if (!parts[i].empty()) want.push_back(parts[i]);
  }
  std::sort(want.begin(), want.end());
  std::vector<std::wstring> have;
  WIN32_FIND_DATAW data{};
  UniqueFind find(FindFirstFileExW(FileApiPath(parts[0]).c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, 0));
  if (find) {
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) have.emplace_back(data.cFileName);
    } while (FindNextFileW(find.get(), &data));
  }
  std::sort(have.begin(), have.end());
  if (have != want) {
    Fail(L"files matching " + Quote(parts[0]) + L": expected " + List(want) + L", found " +
         List(have));
  }
}

void ExpectExcelServer(const std::wstring& rest, TestBed& bed) {
  if (rest != L"standin" && rest != L"none") Fail(L"expected excel-server standin or none");
  const std::wstring clsid = ClassesValue(L"Excel.Application\\CLSID");
  const std::wstring server =
      clsid.empty() ? L"" : ClassesValue(L"CLSID\\" + clsid + L"\\LocalServer32");
  if (rest == L"none") {
    if (!clsid.empty()) {
      Fail(L"Excel.Application is still registered (class " + clsid + L", server " + Quote(server) +
           L"): this step needs a machine where nothing but the Excel stand-in is registered as "
           L"Excel. Register the stand-in again with ExcelStandin.exe /RegServer");
    }
    return;
  }
  const std::wstring standin = bed.Program(L"ExcelStandin.exe");
  if (clsid.empty()) {
    Fail(L"Excel.Application is not registered: register the Excel stand-in first (" + standin +
         L" /RegServer)");
  }
  if (!SameFile(CommandProgram(server), standin)) {
    Fail(L"Excel.Application is served by " + Quote(server) + L", not by the Excel stand-in " +
         Quote(standin) + L": register the stand-in first (ExcelStandin.exe /RegServer)");
  }
}

}  // namespace e2e
