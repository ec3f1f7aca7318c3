// The end-to-end driver's steps language: includes, values and the lists under a step, read from
// files held in memory; every step's arguments checked against its verb's shape as the file is
// read; the cases run one after another past a failure, or one alone. What the scenarios never
// show: the errors it must report, naming the line, and the failures it must list.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "Steps.h"
#include "Utf8.h"

namespace {

using e2e::Step;

long ReadRole(const std::wstring& text) {
  if (text != L"graphic" && text != L"push button") e2e::Fail(L"unknown role " + e2e::Quote(text));
  return static_cast<long>(text.size());
}

// Shapes of the kinds the driver's verbs have.
const e2e::Verb kVerbs[] = {
    {L"start", L"<program>"},
    {L"journal", L"", nullptr, true},
    {L"case", L"<title>"},
    {L"ok", L""},
    {L"fail", L""},
    {L"stop", L""},
    {L"client-size", L"<width:n> <height:n>"},
    {L"reader child", L"<n:n> object/element | <name> | <role:role> | [<description>]"},
};
const e2e::Kind kKinds[] = {{L"role", ReadRole}};

struct Files {
  std::map<std::wstring, std::string> texts;

  e2e::StepsSource Source() const {
    return {[this](const std::wstring& path, std::wstring& error) -> std::optional<std::string> {
              const auto found = texts.find(path);
              if (found == texts.end()) {
                error = L"no such file";
                return std::nullopt;
              }
              return found->second;
            },
            {std::begin(kVerbs), std::end(kVerbs)},
            {std::begin(kKinds), std::end(kKinds)},
            {{L"SCREEN_DPI", L"144"}}};
  }

  std::vector<Step> Read(const std::wstring& path = L"C:\\e2e\\main.steps") const {
    return e2e::ReadSteps(path, Source());
  }
};

std::wstring Text(const Step& step) {
  std::wstring text = step.where + L" " + e2e::StepText(step);
  for (const std::wstring& item : step.items) text += L" / " + item;
  return text;
}

TEST(StepsLanguage, IncludesValuesAndLists) {
  Files files;
  files.texts[L"C:\\e2e\\shared\\bed.steps"] =
      "let DIST = C:\\dist\\CD\n"
      "let SETUP = $DIST\\Velmor_Setup.exe\n"
      "let CALLS(MACRO, ADDIN) =\n"
      "    excel: #start\n"
      "    excel: Run(\"$MACRO\", \"$ADDIN\")\n"
      "case its own\n"
      "start not included\n";
  files.texts[L"C:\\e2e\\main.steps"] =
      "\xEF\xBB\xBF# a comment\r\n"
      "include shared\\bed.steps\n"
      "let START =\n"
      "    start \"$SETUP\" /A3\n"
      "    journal\n"
      "        first\n"
      "\n"
      "$START\n"
      "let DIST = D:\\other\n"
      "start \"$SETUP\" /A$REPEAT(x, 3) $$1 at $SCREEN_DPI\n"
      "journal\n"
      "    $CALLS(Addin_Install, TorvaneEx)\n"
      "    # not an item\n"
      "    last\n";
  std::vector<std::wstring> got;
  for (const Step& step : files.Read()) got.push_back(Text(step));
  const std::vector<std::wstring> want = {
      L"main.steps:8 $START start \"C:\\dist\\CD\\Velmor_Setup.exe\" /A3",
      L"main.steps:8 $START journal / first",
      L"main.steps:10 start \"D:\\other\\Velmor_Setup.exe\" /Axxx $1 at 144",
      L"main.steps:11 journal / excel: #start / excel: Run(\"Addin_Install\", \"TorvaneEx\") / "
      L"last",
  };
  EXPECT_EQ(got, want);
}

TEST(StepsLanguage, ReportsWhatIsWrongAndWhere) {
  const struct {
    const char* text;
    const wchar_t* error;
  } cases[] = {
      {"bogus 1\n", L"main.steps:1: unknown step \"bogus\""},
      {"start $NOPE\n", L"main.steps:1: unknown value $NOPE"},
      {"let A(X) = $X\nstart $A(1, 2)\n", L"main.steps:2: $A takes 1 value(s), given 2"},
      {"let L =\n    a\n    b\nstart $L\n", L"main.steps:4: $L has 2 lines: use it on a line"},
      {"    item\n", L"main.steps:1: an indented line must follow a step"},
      {"let E =\nstart\n", L"main.steps:1: $E has no lines"},
      {"let A = $A\nstart $A\n", L"main.steps:2: values nested too deeply"},
      {"include main.steps\n", L"main.steps:1: C:\\e2e\\main.steps includes itself"},
      {"include gone.steps\n", L"main.steps:1: cannot read C:\\e2e\\gone.steps: no such file"},
      {"let SCREEN_DPI = 1\n", L"main.steps:1: $SCREEN_DPI is given by the driver"},
      {"journal\n    $REPEAT(x)\n", L"main.steps:2: expected $REPEAT(text, count)"},
      {"reader chld 1\n", L"main.steps:1: unknown step \"reader chld\""},
      {"ok\n    item\n", L"main.steps:1: this step takes no indented lines"},
      // Every step that does not fit, at once.
      {"client-size 10\nok\nstart\n",
       L"main.steps:1: expected client-size <width> <height>, found \"10\"\n"
       L"main.steps:3: expected start <program>"},
  };
  for (const auto& c : cases) {
    Files files;
    files.texts[L"C:\\e2e\\main.steps"] = c.text;
    try {
      files.Read();
      ADD_FAILURE() << c.text << " was read";
    } catch (const e2e::Failure& failure) {
      EXPECT_EQ(failure.message.rfind(c.error, 0), 0u)
          << c.text << " gave " << velmor::Utf8FromWide(failure.message);
    }
  }
}

// What a shape reads from a line: the arguments' texts (and values), or what is wrong.
TEST(StepsLanguage, ChecksArgumentsAgainstTheShape) {
  const struct {
    const wchar_t* shape;
    const wchar_t* rest;
    const wchar_t* read;  // the arguments, "text=value" for a number or kind, or the error
  } cases[] = {
      {L"<width:n> <height:n>", L"395 264", L"395=395 / 264=264"},
      {L"<width:n> <height:n>", L"395", L"expected v <width> <height>, found \"395\""},
      {L"<width:n> <height:n>", L"395 2x", L"expected v <width> <height>, found \"395 2x\""},
      {L"<title> <ms:n>", L"Velmor - * 500", L"Velmor - * / 500=500"},
      {L"<title> <ms:n>", L"500", L"expected v <title> <ms>, found \"500\""},
      {L"<control> <left:n> <top:n>", L"Visual  C++ 2010 60 120",
       L"Visual  C++ 2010 / 60=60 / 120=120"},
      {L"[<code:n>]", L"", L""},
      {L"[<code:n>]", L"2", L"2=2"},
      {L"", L"now", L"expected v, found \"now\""},
      // A last text takes the rest of the line, bars and quotes as they are.
      {L"<title> | <text>", L"終了確認 | \" a | b \"", L"終了確認 / \" a | b \""},
      {L"<title> | <text>", L"終了確認", L"expected v <title> | <text>, found \"終了確認\""},
      {L"<title> | <text>...", L"T | a | b", L"T / a / b"},
      {L"<title> | <text>...", L"T", L"expected v <title> | <text>..., found \"T\""},
      {L"[<caption>]...", L"", L""},
      {L"[<caption>]...", L"A | B", L"A / B"},
      {L"<title> | enabled yes/no | [foreground]", L"W | enabled no", L"W / enabled / no"},
      {L"<title> | enabled yes/no | [foreground]", L"W | enabled no | foreground",
       L"W / enabled / no / foreground"},
      {L"<title> | enabled yes/no | [foreground]", L"W | enabled maybe",
       L"expected v <title> | enabled yes/no | [foreground], found \"W | enabled maybe\""},
      {L"<title> | enabled yes/no | [foreground]", L"W | enabled no | front",
       L"expected v <title> | enabled yes/no | [foreground], found \"W | enabled no | front\""},
      {L"<changes:n> <dpi:n>...", L"50 120 96", L"50=50 / 120=120 / 96=96"},
      {L"<changes:n> <dpi:n>...", L"50", L"expected v <changes> <dpi>..., found \"50\""},
      {L"<n:n> object/element | <name> | <role:role> | [<states>] | [<action>]",
       L"1 object | Velmor | graphic | |", L"1=1 / object / Velmor / graphic=7 /  / "},
      {L"<n:n> object/element | <name> | <role:role>", L"1 object | Velmor | button",
       L"unknown role \"button\""},
      {L"| <name> | <role:role>", L"| Velmor | graphic", L"Velmor / graphic=7"},
      {L"| <name> | <role:role>", L"x | Velmor | graphic",
       L"expected v | <name> | <role>, found \"x | Velmor | graphic\""},
  };
  for (const auto& c : cases) {
    std::wstring read;
    try {
      for (const e2e::Arg& arg : e2e::ReadArgs(L"v", c.shape, c.rest, kKinds)) {
        const bool valued = arg.value != 0 || arg.text == L"0";
        read += std::wstring(read.empty() ? L"" : L" / ") + arg.text +
                (valued ? L"=" + std::to_wstring(arg.value) : L"");
      }
    } catch (const e2e::Failure& failure) {
      read = failure.message;
    }
    EXPECT_EQ(read, c.read) << c.shape << " on " << c.rest << " read: " << read;
  }
}

// Every case runs past a failure, and each failure is listed; a failure before the first case,
// or one that stops the run, ends it; one case runs alone with the steps before the first.
TEST(StepsLanguage, RunsEveryCaseOrTheOneNamed) {
  Files files;
  files.texts[L"C:\\e2e\\main.steps"] =
      "ok\n"
      "case one\nok\nfail\nok\n"
      "case two\nok\n"
      "case three\nstop\n"
      "case four\nok\n";
  std::vector<Step> steps = files.Read();
  const auto run = [&](const std::wstring& only, std::wstring& trace) {
    return e2e::RunCases(
        steps, only,
        [&](const Step& step) {
          trace += step.where.substr(step.where.find(L':') + 1) + L" ";
          if (step.verb == L"fail") e2e::Fail(L"planted");
          if (step.verb == L"stop") e2e::StopRun(L"refused");
        },
        [&](int number, const std::wstring&) {
          trace += L"after" + std::to_wstring(number) + L" ";
        });
  };
  std::wstring trace;
  e2e::RunReport report = run(L"", trace);
  EXPECT_EQ(velmor::Utf8FromWide(trace), "1 2 3 4 after1 6 7 8 9 after3 ");
  EXPECT_EQ(report.cases, 3);
  EXPECT_TRUE(report.stopped);
  ASSERT_EQ(report.failures.size(), 2u);
  EXPECT_EQ(velmor::Utf8FromWide(report.failures[0]),
            "case 1 (one): at main.steps:4 (fail): planted");
  EXPECT_EQ(velmor::Utf8FromWide(report.failures[1]),
            "case 3 (three): at main.steps:9 (stop): refused");

  for (const wchar_t* only : {L"2", L"tw"}) {
    trace.clear();
    report = run(only, trace);
    EXPECT_EQ(velmor::Utf8FromWide(trace), "1 6 7 ") << velmor::Utf8FromWide(only);
    EXPECT_EQ(report.cases, 1);
    EXPECT_TRUE(report.failures.empty());
  }
  for (const wchar_t* only : {L"o", L"five", L"5"}) {
    trace.clear();
    EXPECT_THROW(run(only, trace), e2e::Failure) << velmor::Utf8FromWide(only);
    EXPECT_EQ(trace, L"");
  }

  // A failure before the first case ends the run.
  files.texts[L"C:\\e2e\\main.steps"] = "fail\ncase one\nok\n";
  steps = files.Read();
  trace.clear();
  report = run(L"", trace);
  EXPECT_EQ(velmor::Utf8FromWide(trace), "1 after0 ");
  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(report.cases, 0);
}

}  // namespace
