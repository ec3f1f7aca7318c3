// The steps that check the outcome outside the program's windows: what the stand-ins journalled,
// Excel's add-in list, the files left behind, and which server Excel.Application names.
//
// The stand-ins journal from processes of their own, some of them (the Excel stand-in's "#exit",
// written after its COM shutdown) after the program under test has ended. A check of the journal
// therefore first waits, with a bound, until every stand-in that journalled its start has
// journalled its end, and a check of what the journal holds waits, with the same bound, for it.

#include "Checks.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "Console.h"
#include "DescribeError.h"
#include "Driver.h"
#include "Utf8.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using velmor::win32::DescribeError;
using velmor::win32::UniqueFind;

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

namespace {

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

void ExpectJournalCount(unsigned long want, const std::wstring& text) {
  const size_t have =
      CountLines(SettledJournal(), [&](const std::wstring& l) { return Holds(l, text); });
  if (have != want) {
    Fail(std::to_wstring(have) + L" journal line(s) hold " + Quote(text) + L", expected " +
         std::to_wstring(want));
  }
}

void ExpectAddins(const Args& args) {
  std::vector<std::wstring> want;
  for (const Arg& arg : args) {
    if (!arg.text.empty()) want.push_back(arg.text);
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

void ExpectFiles(const Args& args) {
  std::vector<std::wstring> want;
  for (size_t i = 1; i < args.size(); ++i) {
    if (!args[i].text.empty()) want.push_back(args[i].text);
  }
  std::sort(want.begin(), want.end());
  std::vector<std::wstring> have;
  WIN32_FIND_DATAW data{};
  UniqueFind find(FindFirstFileExW(FileApiPath(args[0].text).c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, 0));
  if (find) {
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) have.emplace_back(data.cFileName);
    } while (FindNextFileW(find.get(), &data));
  }
  std::sort(have.begin(), have.end());
  if (have != want) {
    Fail(L"files matching " + Quote(args[0].text) + L": expected " + List(want) + L", found " +
         List(have));
  }
}

// "excel-server none": no Excel.Application is registered at all, as the stand-in's case for a
// missing Excel needs.
void ExpectNoExcel() {
  const std::wstring server = ExcelServer();
  if (!server.empty()) {
    Fail(
        L"Excel.Application still names " + Quote(server) +
        L": this case needs a machine where nothing but the Excel stand-in answers to it. Register "
        L"the stand-in again with ExcelStandin.exe /RegServer");
  }
}

constexpr Verb kVerbs[] = {
    {L"journal", L"", [](Driver&, const Step& s) { ExpectJournal(s.items); }, true},
    {L"journal-has", L"<text>", [](Driver&, const Step& s) { ExpectJournalHas(s.args[0].text); }},
    {L"journal-lacks", L"<text>",
     [](Driver&, const Step& s) { ExpectJournalLacks(s.args[0].text); }},
    {L"journal-count", L"<count:n> | <text>",
     [](Driver&, const Step& s) { ExpectJournalCount(s.args[0].value, s.args[1].text); }},
    // Excel's add-in list holds exactly these values ("addins" alone: none).
    {L"addins", L"[<value:addin>]...", [](Driver&, const Step& s) { ExpectAddins(s.args); }},
    {L"exists", L"<file>", [](Driver&, const Step& s) { ExpectFile(s.args[0].text); }},
    {L"absent", L"<path>", [](Driver&, const Step& s) { ExpectAbsent(s.args[0].text); }},
    // The files matching the pattern are exactly these.
    {L"files", L"<pattern> | [<name>]...", [](Driver&, const Step& s) { ExpectFiles(s.args); }},
    // Excel.Application, as COM finds it for the programs the driver starts, is served by the
    // build's Excel stand-in; if not, the run stops.
    {L"excel-server standin", L"", [](Driver& d, const Step&) { d.bed.RequireStandin(false); }},
    {L"excel-server none", L"", [](Driver&, const Step&) { ExpectNoExcel(); }},
};

}  // namespace

Family OutcomeSteps() { return {kVerbs}; }

}  // namespace e2e
