#pragma once

// The outcome of a scenario outside the program's windows: what the stand-ins journalled, Excel's
// add-in list, the files left behind, and which server Excel.Application names.
//
// The stand-ins journal from processes of their own, some of them (the Excel stand-in's "#exit",
// written after its COM shutdown) after the program under test has ended. A check of the journal
// therefore first waits, with a bound, until every stand-in that journalled its start has
// journalled its end, and a check of what the journal holds waits, with the same bound, for it.

#include <string>
#include <vector>

namespace e2e {

class TestBed;

// The journal's lines as they stand, for a failure's report.
std::vector<std::wstring> JournalLines();

// "journal" with the events as its items: the journal holds exactly these events, in this order.
// An event is a journal line with the process id and command line left out of "start", "#start"
// and "#exit", and the package's "wrote <file>" lines left out. An item ending in " [repeated]"
// stands for one or more such lines in a row. "journal" with no items: the journal is empty.
void ExpectJournal(const std::vector<std::wstring>& items);

// "journal-has <text>" / "journal-lacks <text>": some line holds the text, or none does.
void ExpectJournalHas(const std::wstring& text);
void ExpectJournalLacks(const std::wstring& text);

// "journal-count <n> | <text>": exactly n lines hold the text.
void ExpectJournalCount(const std::wstring& rest);

// "addins NAME=DATA | ...": Excel's add-in list holds exactly these values ("addins" alone:
// none).
void ExpectAddins(const std::wstring& rest);

// "exists <file>" / "absent <path>".
void ExpectFile(const std::wstring& path);
void ExpectAbsent(const std::wstring& path);

// "files <folder>\<pattern> | <name> | ...": the files matching the pattern are exactly these.
void ExpectFiles(const std::wstring& rest);

// "excel-server standin": Excel.Application, as COM finds it for this user, is served by the
// build's Excel stand-in. "excel-server none": no Excel.Application is registered at all.
void ExpectExcelServer(const std::wstring& rest, TestBed& bed);

}  // namespace e2e
