// The steps that check the outcome outside the program's windows: what the stand-ins journalled,
// Excel's add-in list, the files left behind, and which server Excel.Application names. The
// stand-ins journal from processes of their own, some of them (the Excel stand-in's "#exit",
// written after its COM shutdown) after the program under test has ended: hence the waits.

#include <windows.h>

#include <algorithm>
#include <functional>

#include "Driver.h"
#include "Utf8.h"

namespace e2e {
namespace {

// How long a check waits for the stand-ins to finish and for the journal to show what it looks
// for: a stand-in ends within a second or two, far longer on a loaded machine.
constexpr unsigned long kSettleMs = 60000;
constexpr std::wstring_view kRepeated = L" [repeated]";

// Polls until done() holds (true) or the bound has passed (false); the program may show boxes or
// end meanwhile.
bool WaitUntil(Driver& d, const std::function<bool()>& done) {
  return d.Poll(kSettleMs, done, {false, false});
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
  int running = 0;     // stand-ins started and not ended
  int installing = 0;  // installers started and not ended
  for (const std::wstring& l : lines) {
    running += Holds(l, L": #start")                                 ? 1
               : Holds(l, L": #exit") || Holds(l, L": #end inside ") ? -1
                                                                     : 0;
    installing += StartsWithWord(l, L"start ") ? 1 : StartsWithWord(l, L"end exit=") ? -1 : 0;
  }
  return running == 0 && installing == 0;
}

// Waits, with the bound, for the stand-ins to finish; the check that follows decides.
std::vector<std::wstring> SettledJournal(Driver& d) {
  std::vector<std::wstring> lines;
  WaitUntil(d, [&] {
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

void ExpectJournal(Driver& d, const Step& step) {
  if (step.items.empty()) return ExpectSameTexts(L"the journal", {}, SettledJournal(d));
  std::vector<Expected> expected;
  for (const std::wstring& item : step.items) {
    const bool repeated = item.ends_with(kRepeated);
    expected.push_back(
        {repeated ? item.substr(0, item.size() - kRepeated.size()) : item, repeated});
  }
  SettledJournal(d);
  std::vector<std::wstring> events;
  std::vector<size_t> counts;
  if (!WaitUntil(d, [&] { return Matches(events = Events(JournalLines()), expected, counts); })) {
    Fail(L"journal events differ (- expected, + found):" +
         Diff(step.items, Collapsed(events, expected)));
  }
  for (size_t i = 0; i < expected.size(); ++i) {
    if (expected[i].repeated) {
      Out(L"    " + Quote(expected[i].text) + L" " + std::to_wstring(counts[i]) + L" times\n");
    }
  }
}

// "journal-lacks" and "journal-count" count once the stand-ins have finished.
void ExpectJournalLines(Driver& d, const Step& step) {
  const std::wstring& text = step.args.back().text;
  const auto holding = [&](const std::vector<std::wstring>& lines) {
    std::vector<std::wstring> found;
    for (const std::wstring& line : lines) {
      if (Holds(line, text)) found.push_back(line);
    }
    return found;
  };
  if (step.verb == L"journal-has") {
    if (!WaitUntil(d, [&] { return !holding(JournalLines()).empty(); })) {
      Fail(L"no journal line holds " + Quote(text));
    }
    return;
  }
  const std::vector<std::wstring> found = holding(SettledJournal(d));
  const size_t want = step.verb == L"journal-count" ? static_cast<size_t>(step.args[0].value) : 0;
  if (found.size() != want) {
    Fail(std::to_wstring(found.size()) + L" journal line(s) hold " + Quote(text) + L", expected " +
         std::to_wstring(want) + (found.empty() ? L"" : L", the first " + Quote(found.front())));
  }
}

void ExpectPath(Driver&, const Step& step) {
  const std::wstring& path = step.args[0].text;
  const DWORD attributes = GetFileAttributesW(FileApiPath(path).c_str());
  const std::wstring found = attributes == INVALID_FILE_ATTRIBUTES     ? L"nothing"
                             : (attributes & FILE_ATTRIBUTE_DIRECTORY) ? L"a folder"
                                                                       : L"a file";
  const std::wstring want = step.verb == L"exists" ? L"a file" : L"nothing";
  if (found != want) Fail(L"expected " + want + L" at " + Quote(path) + L", found " + found);
}

void ExpectFiles(Driver&, const Step& step) {
  std::vector<std::wstring> have;
  for (const WIN32_FIND_DATAW& entry : FilesMatching(step.args[0].text)) {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) have.emplace_back(entry.cFileName);
  }
  ExpectSameTexts(L"files matching " + Quote(step.args[0].text), Texts(step.args, 1), have);
}

// "excel-server none": no Excel.Application is registered at all, as the stand-in's case for a
// missing Excel needs. Whatever answers with the stand-in gone is another Excel: the run stops.
void ExpectNoExcel() {
  if (const std::wstring server = ExcelServer(); !server.empty()) {
    StopRun(L"with the stand-in unregistered, Excel.Application names " + Quote(server) +
            L": this case needs a machine where nothing else answers to it. Register the stand-in "
            L"again (ExcelStandin.exe /RegServer)");
  }
}

constexpr Verb kVerbs[] = {
    {L"journal", L"", ExpectJournal, true},
    {L"journal-has", L"<text>", ExpectJournalLines},
    {L"journal-lacks", L"<text>", ExpectJournalLines},
    {L"journal-count", L"<count:n> | <text>", ExpectJournalLines},
    {L"addins", L"[<value:addin>]...",
     [](Driver&, const Step& s) {
       ExpectSameTexts(L"Excel's add-in list", Texts(s.args), AddinValues());
     }},
    {L"exists", L"<file>", ExpectPath},
    {L"absent", L"<path>", ExpectPath},
    {L"files", L"<pattern> | [<name>]...", ExpectFiles},
    {L"excel-server standin", L"", [](Driver& d, const Step&) { d.bed.RequireStandin(false); }},
    {L"excel-server none", L"", [](Driver&, const Step&) { ExpectNoExcel(); }},
};

}  // namespace

std::vector<std::wstring> JournalLines() {
  std::wstring error;
  const std::optional<std::string> bytes = ReadFileBytes(kJournalPath, error);
  return bytes ? TextLines(*bytes) : std::vector<std::wstring>{};
}

Family OutcomeSteps() { return {kVerbs}; }

}  // namespace e2e
