// e2e_driver: runs a scenario, a steps file, against the programs of the build, as the README's
// test bed section describes.
//
//   e2e_driver.exe [--case <number or part of a title>] [--keep-addins] <steps file (UTF-8)>
//
// Exit code 0 when every step passed; 1 when a step failed; 2 for a usage or steps-file error.

#include "Driver.h"

#include <chrono>
#include <thread>

#include "RuntimeError.h"
#include "Utf8.h"
#include "Win32Support.h"

namespace e2e {

using namespace std::chrono_literals;

namespace {

void Write(DWORD which, std::wstring_view text) {
  HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(h, &mode)) {
    WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const std::string bytes = velmor::Utf8FromWide(text);
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

}  // namespace

void Out(std::wstring_view text) { Write(STD_OUTPUT_HANDLE, text); }
void Err(std::wstring_view text) { Write(STD_ERROR_HANDLE, text); }

void Driver::Adopt(StartedProcess program) {
  process_ = std::move(program.process);
  pid_ = program.pid;
  window_ = nullptr;
  seenTitles.clear();
  if (pid_ != 0) Out(L"    pid " + std::to_wstring(pid_) + L"\n");
}

bool Driver::ProcessRunning() const {
  return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool Driver::EndsWithin(unsigned long ms) const {
  return process_ && WaitForSingleObject(process_.get(), ms) == WAIT_OBJECT_0;
}

DWORD Driver::ExitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

DWORD Driver::RequireProcess() const {
  if (!process_) Fail(L"no program was started");
  return pid_;
}

HWND Driver::RequireWindow() const {
  if (!window_) Fail(L"no window was found yet (use a window step first)");
  if (!IsWindow(window_)) Fail(L"the window no longer exists");
  return window_;
}

std::vector<MessageBoxInfo> Driver::MessageBoxesOfProcess() const {
  std::vector<MessageBoxInfo> boxes;
  for (HWND hwnd : VisibleTopLevelWindows()) {
    if (pid_ == 0 || WindowProcessId(hwnd) != pid_ || hwnd == window_) continue;
    if (auto box = AsMessageBox(hwnd)) boxes.push_back(std::move(*box));
  }
  return boxes;
}

void Driver::RecordTitles() {
  for (HWND hwnd : VisibleTopLevelWindows()) {
    if (pid_ != 0 && WindowProcessId(hwnd) == pid_) seenTitles.insert(WindowText(hwnd));
  }
}

bool Driver::Poll(unsigned long ms, const std::function<bool()>& done, Watch watch) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (true) {
    RecordTitles();
    if (done && done()) return true;
    if (watch.messageBoxes) {
      const auto boxes = MessageBoxesOfProcess();
      if (!boxes.empty()) Fail(L"unexpected message box: " + Describe(boxes.front()));
    }
    if (watch.processEnd && process_ && !ProcessRunning()) {
      Fail(L"the program ended unexpectedly (exit code " + velmor::FormatErrorNumber(ExitCode()) +
           L")");
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(40ms);
  }
}

void Driver::WaitFor(const std::function<bool()>& done, const std::wstring& what, Watch watch) {
  if (!Poll(timeoutMs, done, watch)) {
    Fail(L"timed out after " + std::to_wstring(timeoutMs / 1000) + L" s waiting for " + what);
  }
}

HWND Driver::FindTopWindow(const std::wstring& pattern) const {
  for (HWND hwnd : VisibleTopLevelWindows()) {
    if (WindowProcessId(hwnd) != pid_) continue;
    if (TitleMatches(pattern, WindowText(hwnd)) && !AsMessageBox(hwnd)) return hwnd;
  }
  return nullptr;
}

HWND Driver::WaitControl(const std::wstring& ref, bool enabled) {
  HWND parent = RequireWindow();
  const bool byClass = ref.starts_with(L"class:");
  const auto matches = [&](HWND child) {
    const std::wstring text = WindowText(child);
    return (byClass ? ClassName(child) == ref.substr(6)
                    : text == ref || StripMnemonic(text) == ref) &&
           IsWindowVisible(child) && (!enabled || IsWindowEnabled(child));
  };
  HWND found = nullptr;
  WaitFor(
      [&] {
        for (HWND child : ChildWindows(parent)) {
          if (matches(child)) found = child;
          if (found != nullptr) return true;
        }
        return false;
      },
      std::wstring(enabled ? L"a visible, enabled control " : L"a visible control ") + Quote(ref));
  return found;
}

void Driver::NewCase() {
  if (ProcessRunning()) Fail(L"the program of the case before still runs (end it with exited)");
  Adopt({});
  timeoutMs = kDefaultTimeoutMs;
  bed.ReleaseHeld();
}

void Driver::AfterFailure(int caseNumber) {
  const std::wstring picture = artifacts + L"failure-" + std::to_wstring(caseNumber) + L".png";
  try {
    SaveScreenPicture(ScreenRect(), picture);
    Err(L"e2e_driver: the screen is saved as " + picture + L"\n");
  } catch (const Failure& failure) {
    Err(L"e2e_driver: " + failure.message + L"\n");
  }
  const std::vector<std::wstring> journal = JournalLines();
  if (!journal.empty()) {
    Err(L"e2e_driver: the journal (" + std::wstring(kJournalPath) + L"):\n");
    for (const std::wstring& line : journal) Err(L"    " + line + L"\n");
  }
  EndPrograms();
}

void Driver::EndPrograms() {
  std::vector<HANDLE> programs;
  if (process_) programs.push_back(process_.get());
  for (const velmor::win32::UniqueHandle& process : launched) programs.push_back(process.get());
  for (const HANDLE process : programs) TerminateProcess(process, 1);
  // Ended, not only told to end, before the next case begins.
  for (const HANDLE process : programs) WaitForSingleObject(process, 10000);
}

namespace {

// The run's driver and saved add-in list, for a stop from the console.
Driver* runningDriver = nullptr;
SavedAddins* savedAddins = nullptr;

// Ctrl+C, Ctrl+Break or the console closed: the programs are ended and the list put back before
// the driver ends (Windows runs this on a thread of its own; on a closed console it ends the
// process soon after).
BOOL WINAPI OnConsoleEvent(DWORD) {
  Err(L"\ne2e_driver: stopped: ending the programs and putting Excel's add-in list back\n");
  try {
    if (runningDriver != nullptr) runningDriver->EndPrograms();
    if (savedAddins != nullptr) savedAddins->PutBack();
  } catch (const Failure& failure) {
    Err(L"e2e_driver: " + failure.message + L"\n");
  }
  ExitProcess(130);
}

constexpr Verb kVerbs[] = {
    // A new part of the scenario (see Driver::NewCase).
    {L"case", L"<title>", [](Driver& d, const Step&) { d.NewCase(); }},
    {L"sleep", L"<milliseconds:n>",
     [](Driver& d, const Step& s) {
       d.Poll(s.args[0].value, nullptr, {false, false});
     }},
    // The time limit of each waiting step from here to the end of the case.
    {L"timeout", L"<seconds:n>",
     [](Driver& d, const Step& s) { d.timeoutMs = s.args[0].value * 1000; }},
};

// The build folder: the nearest folder above the driver's own that holds CMakeCache.txt.
std::optional<std::wstring> FindBuildFolder() {
  std::wstring folder = FolderOf(velmor::win32::ModuleFileName());
  while (!folder.empty()) {
    if (GetFileAttributesW((folder + L"CMakeCache.txt").c_str()) != INVALID_FILE_ATTRIBUTES) {
      return folder;
    }
    folder = FolderOf(folder.substr(0, folder.size() - 1));
  }
  return std::nullopt;
}

int Run(int argc, wchar_t** argv) {
  // Coordinates and the screen's DPI as the programs under test, which are DPI-aware, see them.
  SetProcessDPIAware();
  std::wstring only;
  std::wstring file;
  bool keep = false;
  bool usage = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--case" && i + 1 < argc) {
      only = argv[++i];
    } else if (arg == L"--keep-addins") {
      keep = true;
    } else {
      usage = usage || !file.empty() || arg.starts_with(L"--");
      file = arg;
    }
  }
  if (usage || file.empty() || (keep && !velmor::win32::RunningUnderWine())) {
    Err(L"usage: e2e_driver [--case <number or part of its title>] <steps file>\n"
        L"       e2e_driver --keep-addins <steps file>    (under Wine only)\n");
    return 2;
  }
  const std::wstring stepsPath = FullPathName(file);
  const std::optional<std::wstring> build = FindBuildFolder();
  if (!build) {
    Err(L"e2e_driver: no build folder (one with CMakeCache.txt) above " +
        velmor::win32::ModuleFileName() + L"\n");
    return 2;
  }
  std::wstring scenario = stepsPath.substr(FolderOf(stepsPath).size());
  scenario = scenario.substr(0, scenario.rfind(L'.'));
  const std::wstring artifacts = *build + L"artifacts\\" + scenario + L"\\";

  TestBed bed(*build);
  Driver driver(bed, artifacts);
  // The steps point into the source's verbs: it lives as long as they do.
  StepsSource source{ReadFileBytes, {}, {}, {}};
  std::optional<SavedAddins> saved;
  RunReport report;
  size_t ran = 0;
  try {
    CreateFolders(artifacts);
    if (!SetCurrentDirectoryW(FolderOf(stepsPath).c_str())) {
      Fail(L"cannot enter the folder of " + stepsPath);
    }
    source.builtins = {{L"SCREEN_DPI", std::to_wstring(ScreenDpi())},
                       {L"ARTIFACTS", artifacts.substr(0, artifacts.size() - 1)},
                       {L"TESTBED_DATA", SavedAddins::Folder()}};
    for (const Family& family : {CommonSteps(), ProgramSteps(), InputSteps(), LayoutSteps(),
                                 ReaderSteps(), StateSteps(), OutcomeSteps()}) {
      source.verbs.insert(source.verbs.end(), family.verbs.begin(), family.verbs.end());
      source.kinds.insert(source.kinds.end(), family.kinds.begin(), family.kinds.end());
    }
    const std::vector<Step> steps = ReadSteps(stepsPath, source);
    saved.emplace(keep);
    runningDriver = &driver;
    savedAddins = &*saved;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    report = RunCases(
        steps, only,
        [&](const Step& step) {
          ++ran;
          Out(step.verb == L"case" ? L"== " + step.rest + L" (" + step.where + L")\n"
                                   : L"[" + step.where + L"] " + StepText(step) + L"\n");
          step.known->run(driver, step);
        },
        [&](int number, const std::wstring& failure) {
          Err(L"e2e_driver: FAILED in " + failure + L"\n");
          driver.AfterFailure(number);
        });
  } catch (const Failure& failure) {
    Err(L"e2e_driver: " + failure.message + L"\n");
    return 2;
  }
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  try {
    saved->PutBack();
  } catch (const Failure& failure) {
    report.failures.push_back(L"putting Excel's add-in list back: " + failure.message);
  }
  const std::wstring cases =
      std::to_wstring(report.cases) + L" case(s), " + std::to_wstring(ran) + L" steps";
  if (report.failures.empty()) {
    Out(L"e2e_driver: all passed: " + cases + L"\n");
    return 0;
  }
  Err(L"e2e_driver: " + std::to_wstring(report.failures.size()) + L" failure(s) in " + cases +
      (report.stopped ? L"; the run stopped at the last" : L"") + L":\n");
  for (const std::wstring& failure : report.failures) Err(L"    " + failure + L"\n");
  return 1;
}

}  // namespace

Family CommonSteps() { return {kVerbs}; }

}  // namespace e2e

int wmain(int argc, wchar_t** argv) { return e2e::Run(argc, argv); }
