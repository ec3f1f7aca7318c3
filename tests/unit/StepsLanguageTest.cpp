// The end-to-end driver's steps language: includes, values and the lists under a step, read from
// files held in memory. What the scenarios never show: the errors it must report, naming the line.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "Steps.h"
#include "Utf8.h"

namespace {

using e2e::Step;

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
            [](std::wstring_view verb) { return verb != L"bogus"; },
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
      "    excel: Run(\"$MACRO\", \"$ADDIN\")\n";
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

}  // namespace
