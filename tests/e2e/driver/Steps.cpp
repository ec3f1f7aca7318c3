#include "Steps.h"

#include <algorithm>
#include <span>

#include "Utf8.h"

namespace e2e {
namespace {

// Values within values, and files within files, at most this deep: deeper is a loop.
constexpr int kMaxDepth = 32;
// The longest text $REPEAT makes.
constexpr unsigned long kMaxRepeat = 1'000'000;

struct Line {
  std::wstring where;   // "<file>:<line>", and the values it came through
  std::wstring folder;  // the folder that relative includes start from
  size_t indent = 0;
  std::wstring text;  // without its indentation
};

struct Value {
  std::vector<std::wstring> params;
  std::vector<std::wstring> lines;  // as written, with their indentation
};

bool IsNameStart(wchar_t c) { return c >= L'A' && c <= L'Z'; }
bool IsNameChar(wchar_t c) { return IsNameStart(c) || (c >= L'0' && c <= L'9') || c == L'_'; }

bool ParseNumber(std::wstring_view s, unsigned long& value) {
  if (s.empty() || s.size() > 9) return false;
  unsigned long v = 0;
  for (wchar_t c : s) {
    if (c < L'0' || c > L'9') return false;
    v = v * 10 + static_cast<unsigned long>(c - L'0');
  }
  value = v;
  return true;
}

Line MakeLine(std::wstring where, std::wstring folder, std::wstring_view raw) {
  const size_t indent = std::min(raw.find_first_not_of(L" \t"), raw.size());
  return {std::move(where), std::move(folder), indent, Trim(raw)};
}

// The first word of a text and the rest after it, trimmed.
std::pair<std::wstring, std::wstring> SplitWord(const std::wstring& text) {
  const size_t space = text.find_first_of(L" \t");
  if (space == std::wstring::npos) return {text, L""};
  return {text.substr(0, space), Trim(text.substr(space))};
}

// A reference to a value at text[at] ("$NAME", or with calls "$NAME(args)"), read up to its end.
struct Reference {
  std::wstring name;
  std::vector<std::wstring> args;  // as written, not yet expanded
  bool call = false;               // written with parentheses
  size_t end = 0;                  // the index after the reference
};

std::optional<Reference> ReadReference(const std::wstring& text, size_t at, bool calls = true) {
  if (at + 1 >= text.size() || text[at] != L'$' || !IsNameStart(text[at + 1])) return std::nullopt;
  Reference ref;
  size_t i = at + 1;
  while (i < text.size() && IsNameChar(text[i])) ref.name += text[i++];
  if (calls && i < text.size() && text[i] == L'(') {
    ref.call = true;
    int depth = 1;
    std::wstring arg;
    for (++i; i < text.size(); ++i) {
      const wchar_t c = text[i];
      if (c == L'(') ++depth;
      if (c == L')' && --depth == 0) break;
      if (c == L',' && depth == 1) {
        ref.args.push_back(Trim(arg));
        arg.clear();
      } else {
        arg += c;
      }
    }
    if (i >= text.size()) Fail(L"$" + ref.name + L"( has no closing parenthesis");
    ref.args.push_back(Trim(arg));
    ++i;
  }
  ref.end = i;
  return ref;
}

// The text with each reference replaced by what replace gives for it (nothing: kept as written).
// Finished, as a line is used: references with their values, and "$$" made one "$"; not, as a
// value's lines take its parameters: names alone, and "$$" kept for the line's use.
template <typename F>
std::wstring Replace(const std::wstring& text, bool finished, F&& replace) {
  std::wstring out;
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 2, L"$$") == 0) {
      out += finished ? L"$" : L"$$";
      i += 2;
      continue;
    }
    const std::optional<Reference> ref = ReadReference(text, i, finished);
    std::optional<std::wstring> by;
    if (ref) by = replace(*ref);
    if (!by) {
      out += text[i++];
      continue;
    }
    out += *by;
    i = ref->end;
  }
  return out;
}

class Reader {
 public:
  explicit Reader(const StepsSource& source) : source_(source) {}

  std::vector<Step> Read(const std::wstring& path) {
    ReadFile(path, L"");
    return std::move(steps_);
  }

 private:
  // Runs what a line asks for, adding the line's place to a failure.
  template <typename F>
  static void At(const std::wstring& where, F&& f) {
    try {
      f();
    } catch (const Failure& failure) {
      if (failure.message.starts_with(where)) throw;
      Fail(where + L": " + failure.message);
    }
  }

  void ReadFile(const std::wstring& path, const std::wstring& from) {
    if (std::find(open_.begin(), open_.end(), path) != open_.end() || open_.size() > kMaxDepth) {
      Fail(from + L": " + path + L" includes itself");
    }
    std::wstring error;
    std::optional<std::string> bytes = source_.read(path, error);
    if (!bytes) Fail((from.empty() ? L"" : from + L": ") + L"cannot read " + path + L": " + error);
    const std::wstring folder = FolderOf(path);
    const std::wstring name = path.substr(folder.size());
    std::vector<Line> lines;
    for (const std::wstring& text : TextLines(*bytes)) {
      Line line = MakeLine(name + L":" + std::to_wstring(lines.size() + 1), folder, text);
      // An included file's cases are its own.
      if (!from.empty() && line.indent == 0 && SplitWord(line.text).first == L"case") break;
      lines.push_back(std::move(line));
    }
    open_.push_back(path);
    Process(lines, 0);
    open_.pop_back();
  }

  void Process(const std::vector<Line>& lines, int depth) {
    bool underStep = false;
    for (size_t i = 0; i < lines.size(); ++i) {
      const Line& line = lines[i];
      if (line.text.empty() || line.text.starts_with(L'#')) continue;
      At(line.where, [&] {
        if (line.indent > 0) {
          if (!underStep) Fail(L"an indented line must follow a step");
          return AddItems(line, steps_.back().items, depth);
        }
        underStep = false;
        const std::pair<std::wstring, std::wstring> split = SplitWord(line.text);
        if (split.first == L"let") {
          i = Let(lines, i, split.second);
        } else if (split.first == L"include") {
          ReadFile(JoinPath(line.folder, Expand(split.second, depth)), line.where);
        } else if (const auto value = StandaloneValue(line, depth)) {
          Process(*value, depth + 1);
        } else {
          auto [verb, rest] = SplitWord(Expand(line.text, depth));
          steps_.push_back({line.where, std::move(verb), std::move(rest)});
          underStep = true;
        }
      });
    }
  }

  // "let NAME = text", "let NAME(A, B) = text", or "let NAME =" with the indented lines below as
  // its lines. Returns the index of the last line it took.
  size_t Let(const std::vector<Line>& lines, size_t at, const std::wstring& rest) {
    const size_t equals = rest.find(L'=');
    if (equals == std::wstring::npos) Fail(L"expected let NAME = text");
    const std::wstring head = Trim(rest.substr(0, equals));
    const std::optional<Reference> ref = ReadReference(L"$" + head, 0);
    if (!ref || ref->end != head.size() + 1) Fail(L"a value's name is A-Z, 0-9 and _: " + head);
    if (source_.builtins.contains(ref->name) || ref->name == L"REPEAT") {
      Fail(L"$" + ref->name + L" is given by the driver");
    }
    Value value;
    if (ref->call) {
      for (const std::wstring& param : ref->args) {
        const std::optional<Reference> p = ReadReference(L"$" + param, 0);
        if (!p || p->call || p->end != param.size() + 1) Fail(L"bad parameter name " + param);
        value.params.push_back(param);
      }
    }
    const std::wstring text = Trim(rest.substr(equals + 1));
    size_t last = at;
    if (!text.empty()) {
      value.lines.push_back(text);
    } else {
      // The indented lines below, indented as they are relative to the least indented one.
      size_t least = std::wstring::npos;
      for (size_t i = at + 1; i < lines.size(); ++i) {
        if (lines[i].text.empty()) continue;
        if (lines[i].indent == 0) break;
        least = std::min(least, lines[i].indent);
        last = i;
      }
      if (last == at) Fail(L"$" + ref->name + L" has no lines (indent them under the let)");
      for (size_t i = at + 1; i <= last; ++i) {
        const size_t indent = lines[i].text.empty() ? 0 : lines[i].indent - least;
        value.lines.push_back(std::wstring(indent, L' ') + lines[i].text);
      }
    }
    values_[ref->name] = std::move(value);
    return last;
  }

  // A line that is only a reference to one of our values stands for that value's lines.
  std::optional<std::vector<Line>> StandaloneValue(const Line& line, int depth) {
    const std::optional<Reference> ref = ReadReference(line.text, 0);
    if (!ref || ref->end != line.text.size() || !values_.contains(ref->name)) return std::nullopt;
    return ValueLines(*ref, line, depth);
  }

  // Every use of a value passes here, deeper at each level: the one bound on nesting.
  std::vector<Line> ValueLines(const Reference& ref, const Line& use, int depth) {
    if (depth > kMaxDepth) Fail(L"values nested too deeply (does one use itself?)");
    const Value& value = values_.at(ref.name);
    if (ref.args.size() != value.params.size()) {
      Fail(L"$" + ref.name + L" takes " + std::to_wstring(value.params.size()) +
           L" value(s), given " + std::to_wstring(ref.args.size()));
    }
    // The arguments go in as written; the lines are expanded where they are used.
    std::vector<Line> lines;
    for (const std::wstring& raw : value.lines) {
      lines.push_back(MakeLine(use.where + L" $" + ref.name, use.folder,
                               std::wstring(use.indent, L' ') + Substitute(raw, value, ref.args)));
    }
    return lines;
  }

  // The text with the value's parameters replaced by the arguments; everything else as it is.
  static std::wstring Substitute(const std::wstring& text, const Value& value,
                                 const std::vector<std::wstring>& args) {
    return Replace(text, false, [&](const Reference& ref) -> std::optional<std::wstring> {
      const auto param = std::find(value.params.begin(), value.params.end(), ref.name);
      if (param == value.params.end()) return std::nullopt;
      return args[static_cast<size_t>(param - value.params.begin())];
    });
  }

  // The item lines under a step; a line that is only a value's name stands for all its lines.
  void AddItems(const Line& line, std::vector<std::wstring>& items, int depth) {
    if (line.text.empty() || line.text.starts_with(L'#')) return;
    if (const auto lines = StandaloneValue(line, depth)) {
      for (const Line& sub : *lines) AddItems(sub, items, depth + 1);
    } else {
      items.push_back(Expand(line.text, depth));
    }
  }

  // The text with every reference replaced by its value.
  std::wstring Expand(const std::wstring& text, int depth) {
    return Replace(text, true, [&](const Reference& ref) { return ValueText(ref, depth); });
  }

  std::wstring ValueText(const Reference& ref, int depth) {
    if (ref.name == L"REPEAT") {
      unsigned long count = 0;
      if (ref.args.size() != 2 || !ParseNumber(Expand(ref.args[1], depth + 1), count) ||
          count > kMaxRepeat) {
        Fail(L"expected $REPEAT(text, count), count at most " + std::to_wstring(kMaxRepeat));
      }
      const std::wstring unit = Expand(ref.args[0], depth + 1);
      std::wstring out;
      for (unsigned long n = 0; n < count; ++n) out += unit;
      return out;
    }
    if (const auto builtin = source_.builtins.find(ref.name); builtin != source_.builtins.end()) {
      if (ref.call) Fail(L"$" + ref.name + L" takes no values");
      return builtin->second;
    }
    if (!values_.contains(ref.name)) Fail(L"unknown value $" + ref.name);
    const std::vector<Line> lines = ValueLines(ref, Line{}, depth);
    if (lines.size() != 1) {
      Fail(L"$" + ref.name + L" has " + std::to_wstring(lines.size()) +
           L" lines: use it on a line of its own");
    }
    return Expand(lines.front().text, depth + 1);
  }

  const StepsSource& source_;
  std::map<std::wstring, Value> values_;
  std::vector<std::wstring> open_;  // the files being read, outermost first
  std::vector<Step> steps_;
};

// ---- arguments

// A field of a shape (see Verb).
struct Field {
  std::wstring kind;                // "n", a Kind's name, or empty for a text
  std::vector<std::wstring> words;  // the words a choice may be
  bool optional = false;
  bool repeated = false;
  bool IsText() const { return words.empty() && kind.empty(); }
};
using Part = std::vector<Field>;

std::vector<Part> ParseShape(std::wstring_view shape) {
  std::vector<Part> parts;
  if (Trim(shape).empty()) return parts;
  for (const std::wstring& text : SplitBars(shape)) {
    Part& part = parts.emplace_back();
    for (std::wstring word : Words(text)) {
      Field& field = part.emplace_back();
      field.repeated = word.ends_with(L"...");
      if (field.repeated) word.resize(word.size() - 3);
      field.optional = word.starts_with(L'[');
      if (field.optional) word = word.substr(1, word.size() - 2);
      if (word.starts_with(L'<')) {
        const size_t colon = word.find(L':');
        if (colon != std::wstring::npos)
          field.kind = word.substr(colon + 1, word.size() - colon - 2);
        continue;
      }
      for (size_t at = 0; at <= word.size();) {
        const size_t slash = std::min(word.find(L'/', at), word.size());
        field.words.push_back(word.substr(at, slash - at));
        at = slash + 1;
      }
    }
  }
  return parts;
}

class ArgsReader {
 public:
  ArgsReader(std::wstring_view verb, std::wstring_view shape, const std::wstring& rest,
             std::span<const Kind> kinds)
      : verb_(verb), shape_(shape), rest_(rest), kinds_(kinds) {}

  Args Read() {
    const std::vector<std::wstring> parts =
        rest_.empty() ? std::vector<std::wstring>{} : SplitBars(rest_);
    const std::vector<Part> shape = ParseShape(shape_);
    size_t at = 0;
    for (size_t p = 0; p < shape.size(); ++p) {
      const Part& part = shape[p];
      if (part.size() == 1 && part[0].repeated) {
        if (at == parts.size() && !part[0].optional) Mismatch();
        while (at < parts.size()) Take(part[0], parts[at++]);
        break;
      }
      if (at == parts.size()) {
        if (!part.empty() && part[0].optional) break;
        Mismatch();
      }
      if (p + 1 == shape.size() && part.size() == 1 && part[0].IsText() && !part[0].optional) {
        size_t start = 0;  // the rest of the line, after as many bars as parts were read
        for (size_t bar = 0; bar < at; ++bar) start = rest_.find(L'|', start) + 1;
        Take(part[0], Trim(rest_.substr(start)));
        return std::move(args_);
      }
      ReadPart(part, parts[at++]);
    }
    if (at < parts.size()) Mismatch();
    return std::move(args_);
  }

 private:
  [[noreturn]] void Mismatch() const {
    // The shape as a reader writes it: without the kinds.
    std::wstring usage;
    bool kind = false;
    for (const wchar_t c : shape_) {
      kind = (kind || c == L':') && c != L'>';
      if (!kind) usage += c;
    }
    Fail(L"expected " + std::wstring(verb_) + (usage.empty() ? L"" : L" " + usage) +
         (rest_.empty() ? L"" : L", found " + Quote(rest_)));
  }

  void Take(const Field& field, const std::wstring& text) {
    Arg arg{text};
    if (!field.words.empty()) {
      if (std::find(field.words.begin(), field.words.end(), text) == field.words.end()) Mismatch();
    } else if (field.kind == L"n") {
      unsigned long number = 0;
      if (!ParseNumber(text, number)) Mismatch();
      arg.value = static_cast<long>(number);
    } else if (!field.kind.empty()) {
      const auto kind = std::find_if(kinds_.begin(), kinds_.end(),
                                     [&](const Kind& k) { return k.name == field.kind; });
      if (kind == kinds_.end()) Fail(L"the driver has no kind " + field.kind);
      arg.value = kind->read(text);
    } else if (text.empty() && !field.optional) {
      Mismatch();
    }
    args_.push_back(std::move(arg));
  }

  // A part of the line: a field alone takes all of it; else each field a word, but a text, which
  // comes first, the words the fields after it leave.
  void ReadPart(const Part& part, std::wstring text) {
    if (part.size() == 1) return Take(part[0], text);
    std::vector<std::wstring> words;
    if (!part.empty() && part[0].IsText()) {
      for (size_t f = 1; f < part.size(); ++f) {
        const size_t space = text.find_last_of(L" \t");
        if (space == std::wstring::npos) Mismatch();
        words.insert(words.begin(), text.substr(space + 1));
        text = Trim(text.substr(0, space));
      }
      words.insert(words.begin(), text);
    } else {
      words = Words(text);
    }
    size_t i = 0;
    for (const Field& field : part) {
      if (i == words.size()) {
        if (field.optional) break;
        Mismatch();
      }
      Take(field, words[i++]);
      while (field.repeated && i < words.size()) Take(field, words[i++]);
    }
    if (i < words.size()) Mismatch();
  }

  std::wstring_view verb_;
  std::wstring_view shape_;
  const std::wstring& rest_;
  std::span<const Kind> kinds_;
  Args args_;
};

// Finds the step's verb, a family's two-word one first, and reads its arguments.
void Check(Step& step, const StepsSource& source) {
  const auto find = [&](const std::wstring& name) -> const Verb* {
    const auto verb = std::find_if(source.verbs.begin(), source.verbs.end(),
                                   [&](const Verb& v) { return v.name == name; });
    return verb != source.verbs.end() ? &*verb : nullptr;
  };
  const auto [word, after] = SplitWord(step.rest);
  if (const Verb* verb = find(step.verb + L" " + word); verb != nullptr && !word.empty()) {
    step.verb += L" " + word;
    step.rest = after;
    step.known = verb;
  } else if ((step.known = find(step.verb)) == nullptr) {
    const bool family = std::any_of(source.verbs.begin(), source.verbs.end(), [&](const Verb& v) {
      return v.name.starts_with(step.verb + L" ");
    });
    Fail(L"unknown step " + Quote(family ? step.verb + L" " + word : step.verb));
  }
  if (!step.known->items && !step.items.empty()) Fail(L"this step takes no indented lines");
  step.args = ReadArgs(step.verb, step.known->shape, step.rest, source.kinds);
}

}  // namespace

[[noreturn]] void Fail(std::wstring message) { throw Failure{std::move(message)}; }
[[noreturn]] void StopRun(std::wstring message) { throw Failure{std::move(message), true}; }

std::vector<Step> ReadSteps(const std::wstring& path, const StepsSource& source) {
  std::vector<Step> steps = Reader(source).Read(path);
  std::wstring errors;
  for (Step& step : steps) {
    try {
      Check(step, source);
    } catch (const Failure& failure) {
      errors += (errors.empty() ? L"" : L"\n") + step.where + L": " + failure.message;
    }
  }
  if (!errors.empty()) Fail(errors);
  return steps;
}

Args ReadArgs(std::wstring_view verb, std::wstring_view shape, const std::wstring& rest,
              std::span<const Kind> kinds) {
  return ArgsReader(verb, shape, rest, kinds).Read();
}

RunReport RunCases(
    const std::vector<Step>& steps, const std::wstring& only,
    const std::function<void(const Step&)>& execute,
    const std::function<void(int number, const std::wstring& failure)>& afterFailure) {
  std::vector<const Step*> cases;
  for (const Step& step : steps) {
    if (step.verb == L"case") cases.push_back(&step);
  }
  size_t named = 0;  // the case named, by its number from 1
  if (!only.empty()) {
    std::wstring list;
    int fit = 0;
    unsigned long number = 0;
    for (size_t c = 0; c < cases.size(); ++c) {
      list += L"\n    " + std::to_wstring(c + 1) + L"  " + cases[c]->rest;
      if (ParseNumber(only, number) ? number == c + 1
                                    : cases[c]->rest.find(only) != std::wstring::npos) {
        named = c + 1;
        ++fit;
      }
    }
    if (fit != 1) {
      Fail(std::wstring(fit == 0 ? L"no case is " : L"several cases are ") + Quote(only) +
           L"; the cases:" + list);
    }
  }
  RunReport report;
  size_t current = 0;  // the case being run, 0 before the first
  bool skipping = false;
  for (const Step& step : steps) {
    if (step.verb == L"case") {
      ++current;
      skipping = named != 0 && named != current;
      report.cases += skipping ? 0 : 1;
    }
    if (skipping) continue;
    try {
      execute(step);
    } catch (const Failure& failure) {
      const std::wstring line =
          (current == 0
               ? std::wstring(L"before the first case")
               : L"case " + std::to_wstring(current) + L" (" + cases[current - 1]->rest + L")") +
          L": at " + step.where + L" (" + StepText(step) + L"): " + failure.message;
      report.failures.push_back(line);
      afterFailure(static_cast<int>(current), line);
      report.stopped = current == 0 || failure.stopsRun;
      if (report.stopped) break;
      skipping = true;
    }
  }
  return report;
}

std::vector<std::wstring> Texts(const Args& args, size_t first) {
  std::vector<std::wstring> texts;
  for (size_t i = first; i < args.size(); ++i) {
    if (!args[i].text.empty()) texts.push_back(args[i].text);
  }
  return texts;
}

void ExpectSameTexts(const std::wstring& what, std::vector<std::wstring> want,
                     std::vector<std::wstring> have) {
  std::sort(want.begin(), want.end());
  std::sort(have.begin(), have.end());
  if (have == want) return;
  const auto list = [](const std::vector<std::wstring>& items) {
    std::wstring out;
    for (const std::wstring& item : items) out += (out.empty() ? L"" : L" | ") + item;
    return L"[" + out + L"]";
  };
  Fail(what + L": expected " + list(want) + L", found " + list(have));
}

std::wstring Trim(std::wstring_view s) {
  const auto first = s.find_first_not_of(L" \t");
  if (first == std::wstring_view::npos) return {};
  const auto last = s.find_last_not_of(L" \t");
  return std::wstring(s.substr(first, last - first + 1));
}

std::wstring Unescape(std::wstring_view s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'\\' && i + 1 < s.size() && (s[i + 1] == L'n' || s[i + 1] == L'\\')) {
      out += s[i + 1] == L'n' ? L'\n' : L'\\';
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::wstring> TextLines(std::string_view utf8) {
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  const std::wstring text = WithoutCR(velmor::WideFromUtf8(utf8));
  std::vector<std::wstring> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find(L'\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

std::wstring WithoutCR(std::wstring s) {
  std::erase(s, L'\r');
  return s;
}

std::wstring Quote(std::wstring_view s) {
  std::wstring out = L"\"";
  for (wchar_t c : s) out += c == L'\n' ? L"\\n" : c == L'\r' ? L"\\r" : std::wstring(1, c);
  return out + L"\"";
}

std::wstring StepText(const Step& step) {
  return step.rest.empty() ? step.verb : step.verb + L" " + step.rest;
}

std::vector<std::wstring> SplitBars(std::wstring_view s) {
  std::vector<std::wstring> parts;
  for (size_t at = 0;;) {
    const size_t bar = std::min(s.find(L'|', at), s.size());
    parts.push_back(Trim(s.substr(at, bar - at)));
    if (bar == s.size()) return parts;
    at = bar + 1;
  }
}

std::vector<std::wstring> Words(std::wstring_view s) {
  std::vector<std::wstring> words;
  size_t i = 0;
  while (true) {
    i = s.find_first_not_of(L" \t", i);
    if (i == std::wstring_view::npos) break;
    if (s[i] == L'"') {
      const size_t close = s.find(L'"', i + 1);
      if (close == std::wstring_view::npos) Fail(L"unbalanced quote in " + Quote(s));
      words.emplace_back(s.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      const size_t end = s.find_first_of(L" \t", i);
      words.emplace_back(s.substr(i, end == std::wstring_view::npos ? s.npos : end - i));
      i = end;
    }
  }
  return words;
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

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& path) {
  const bool absolute = (path.size() >= 2 && path[1] == L':') || path.starts_with(L'\\');
  if (absolute || folder.empty()) return path;
  return folder + path;
}

}  // namespace e2e
