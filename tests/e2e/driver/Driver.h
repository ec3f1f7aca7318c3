#pragma once

// What every family of steps shares: the program under test and its window, the waits that watch
// them, the step time limit and the test bed. Each family lists its steps in a file of its own.

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Handles.h"
#include "Steps.h"

namespace e2e {

inline constexpr unsigned long kDefaultTimeoutMs = 30000;

// ---- The test bed (TestBed.cpp): what a scenario lays out around the program under test (files,
// the stand-ins' orders, Excel's add-in list, files held open), the programs it starts, and what
// keeps a desk safe: the user's add-in list saved and put back, and no program started while
// Excel.Application names a real Excel.

// Where the stand-ins keep their state: every stand-in appends to the journal and reads its
// orders from <name>.cfg beside it.
inline constexpr wchar_t kStandinsFolder[] = L"C:\\standins";
inline constexpr wchar_t kJournalPath[] = L"C:\\standins\\journal.txt";
// Excel's add-in list (values OPEN, OPEN1, ...), under HKEY_CURRENT_USER.
inline constexpr wchar_t kAddinKey[] = L"Software\\Microsoft\\Office\\16.0\\Excel\\Options";

// Fails the step with what failed and the error's number and words.
[[noreturn]] void FailWith(const std::wstring& what, DWORD error);

// The full path of a path, whatever its length; empty when the system cannot make one.
std::wstring FullPathName(const std::wstring& path);

// The full path in the form file functions take whatever its length: "\\?\" before it once it
// reaches 248 characters, where CreateDirectoryW's limit lies.
std::wstring FileApiPath(const std::wstring& path);

// Creates a folder and every folder above it that is missing.
void CreateFolders(const std::wstring& folder);

// Every byte of a file that others may still be writing; nothing when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::wstring& path, std::wstring& error);

// The files and folders a pattern ("C:\\Velmor\\*.xla") matches; none when its folder is missing.
std::vector<WIN32_FIND_DATAW> FilesMatching(const std::wstring& pattern);

// Every byte of a file; fails the step when it cannot be read.
std::string ReadWholeFile(const std::wstring& path);

// Writes a file (and the folders above it), replacing what it held; fails the step when it cannot.
void WriteBytes(const std::wstring& path, const std::string& bytes);

// Excel's add-in values as "NAME=DATA" (OPEN="C:\Velmor\TorvaneEx.xla"), sorted by name.
std::vector<std::wstring> AddinValues();

// The server command line Excel.Application names for the programs the driver starts, as COM finds
// it for them (the README says how); empty when nothing is registered.
std::wstring ExcelServer();

// Excel's add-in list of the user, saved to a file in the user's profile (Folder()) or put back
// first from the file a stopped run left; put back, and the file removed, by PutBack (once). A
// driver started by a scenario keeps a file of its own. With keep (the demo, under Wine only), the
// list is only put back from a file left behind.
class SavedAddins {
 public:
  explicit SavedAddins(bool keep);
  ~SavedAddins();
  SavedAddins(const SavedAddins&) = delete;
  SavedAddins& operator=(const SavedAddins&) = delete;
  static std::wstring Folder();
  void PutBack();

 private:
  std::wstring file_;
  bool keep_;
};

struct StartedProcess {
  velmor::win32::UniqueHandle process;
  DWORD pid = 0;
};

class TestBed {
 public:
  explicit TestBed(std::wstring buildFolder);

  // A program of the build by its bare file name (found in the build folder), or else the path
  // as it is given.
  std::wstring Program(const std::wstring& nameOrPath);

  // Starts "<program> [arguments]" in the program's own folder, as Explorer does; with
  // shareOutput, it writes to the driver's stdout and stderr. Stops the run first when
  // Excel.Application names a server other than the build's Excel stand-in.
  StartedProcess Start(const std::wstring& command, bool shareOutput = false);

  // Stops the run unless Excel.Application names the build's Excel stand-in, or, with
  // noneToo, nothing.
  void RequireStandin(bool noneToo);

  // Holds the file open, sharing reading only, until the case ends, as another program that has
  // it open would.
  void Hold(const std::wstring& path);
  void ReleaseHeld() { held_.clear(); }

 private:
  std::wstring build_;
  std::optional<std::map<std::wstring, std::wstring>> programs_;  // lower-case name -> path
  std::vector<velmor::win32::UniqueHandle> held_;                 // files held open ("lock")
};

// ---- What the driver reads of other processes' windows (WindowQueries.cpp): texts, classes,
// owners, message boxes and check states, without ever waiting on a program that does not answer.

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
DWORD WindowProcessId(HWND hwnd);
std::vector<HWND> VisibleTopLevelWindows();
std::vector<HWND> ChildWindows(HWND parent);

// A button caption without its mnemonic markers ("終了(&X)" -> "終了(X)", "&&" -> "&").
std::wstring StripMnemonic(std::wstring_view s);

// A title pattern is exact, unless it ends with '*', which matches any rest.
bool TitleMatches(std::wstring_view pattern, std::wstring_view title);

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::wstring title;
  std::wstring text;
};

// A message box is a dialog (#32770) with the message text in its static control 0xFFFF.
std::optional<MessageBoxInfo> AsMessageBox(HWND hwnd);

std::wstring Describe(const MessageBoxInfo& box);

// The window of the thread of a window that has the keyboard focus, or null.
HWND FocusOf(HWND window);

// The check state of a check box or option button, read with a time limit so a blocked program
// cannot hang the driver; empty when the program does not answer.
std::optional<LRESULT> CheckState(HWND button);

// ---- What the driver reads of the screen (Pixels.cpp): window pictures saved as files, the
// screen's DPI and pixels, pictures decoded as the programs decode theirs, and the pixel checks.

// Saves what the screen shows in a rectangle as a PNG file.
void SaveScreenPicture(const RECT& rect, const std::wstring& path);

// The screen's DPI; the driver is DPI-aware (Run), so this is the DPI the programs see.
int ScreenDpi();

RECT ScreenRect();

// "width x height", and with its place "(left, top) width x height".
std::wstring SizeText(const RECT& r);
std::wstring PlaceText(const RECT& r);

int TwipsToPx(long twips);

// The header of a 32-bit bitmap whose rows go from the top down, as these pixels do.
BITMAPINFO TopDownBitmap(int width, int height);

// A rectangle of the screen as 0x00RRGGBB pixels, row by row from the top.
std::vector<DWORD> CaptureScreen(const RECT& r);

// A picture file decoded by OLE, as the programs decode theirs, drawn at its own pixel size on
// white and on black: where both agree the picture is opaque.
struct DecodedPicture {
  int width = 0;
  int height = 0;
  std::vector<DWORD> onWhite, onBlack;
};

DecodedPicture DecodePicture(const std::wstring& path);

// The text drawn in a rectangle of the screen: the lines it stands on, and whether any of it
// touches the right or bottom edge, where a caption too long for its box would be cut off.
struct CaptionLines {
  int lines = 0;
  bool edge = false;
};

CaptionLines MeasureCaptionLines(const RECT& box);

// Where the picture is drawn pixel for pixel in a rectangle of the screen: at its top-left corner
// (atCorner, clipped to the rectangle) or anywhere wholly inside it. Empty when it is not drawn.
std::optional<POINT> FindPicture(const DecodedPicture& picture, const RECT& box, bool atCorner);

// ---- The families of steps

// A family's steps and the kinds of words its shapes use.
struct Family {
  std::span<const Verb> verbs;
  std::span<const Kind> kinds = {};
};

Family CommonSteps();
Family ProgramSteps();
Family InputSteps();
Family LayoutSteps();
Family ReaderSteps();
Family StateSteps();
Family OutcomeSteps();

// The driver's output: each step as it starts and what it saw on stdout, failures on stderr;
// wide text to a console, UTF-8 bytes to a pipe or file.
void Out(std::wstring_view text);
void Err(std::wstring_view text);

// The stand-ins' journal's lines as they stand (Checks.cpp).
std::vector<std::wstring> JournalLines();

// Waits, within the step timeout, until the window's object no longer says that it is unavailable:
// the step the program ran has ended, and what is typed from now on is read (Accessibility.cpp).
void WaitUntilAvailable(Driver& d);

// What a waiting step watches besides its own condition.
struct Watch {
  bool messageBoxes = true;  // a message box of the process fails the step
  bool processEnd = true;    // the process ending fails the step
};

class Driver {
 public:
  Driver(TestBed& testBed, std::wstring artifactsFolder)
      : bed(testBed), artifacts(std::move(artifactsFolder)) {}

  TestBed& bed;
  const std::wstring artifacts;  // the scenario's artifacts folder, with a trailing backslash
  unsigned long timeoutMs = kDefaultTimeoutMs;
  std::vector<velmor::win32::UniqueHandle> launched;  // programs started beside it ("launch")
  std::set<std::wstring> seenTitles;                  // of the program's windows, since its start

  // The program under test, started by "start"; the window the last "window" step found.
  void Adopt(StartedProcess program);
  bool ProcessRunning() const;
  DWORD ExitCode() const;
  bool EndsWithin(unsigned long ms) const;
  DWORD RequireProcess() const;  // its id
  HWND RequireWindow() const;
  void SetWindow(HWND window) { window_ = window; }

  // Polls until done() holds (true) or ms have passed (false), failing at once on what the watch
  // names. (A program that crashes ends: the test prefix has Wine's crash dialog switched off.)
  bool Poll(unsigned long ms, const std::function<bool()>& done, Watch watch = {});
  // The same within the step time limit, failing at its end; what describes what was awaited.
  void WaitFor(const std::function<bool()>& done, const std::wstring& what, Watch watch = {});

  std::vector<MessageBoxInfo> MessageBoxesOfProcess() const;
  // A visible top-level window of the program with a title matching the pattern; not a message box.
  HWND FindTopWindow(const std::wstring& pattern) const;
  // A visible child control of the window, named by its caption (mnemonic markers ignored) or by
  // its class as "class:<name>", waited for; enabled too when asked.
  HWND WaitControl(const std::wstring& ref, bool enabled = false);

  // "case": the program of the case before must have ended; files it held are let go.
  void NewCase();
  // After a failed step: a picture of the whole screen and the journal for the report, and the
  // programs the scenario started ended.
  void AfterFailure(int caseNumber);
  void EndPrograms();

 private:
  void RecordTitles();

  velmor::win32::UniqueHandle process_;
  DWORD pid_ = 0;
  HWND window_ = nullptr;
};

}  // namespace e2e
