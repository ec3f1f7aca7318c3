#pragma once

// The boundary between the programs' logic and the desktop. The logic (Module1, Form1) reaches the
// world only through these interfaces; common/win32/ implements them with Win32 and COM, the unit
// tests with fakes that record what the logic did. Every failure is thrown as a
// velmor::RuntimeError.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velmor {

// Message box styles the programs use.
enum class MsgBoxStyle : int {
  kOkOnly = 0,        // an OK button, no icon
  kInformation = 64,  // an OK button and the information icon
};

// An argument of a late-bound automation call.
using AutomationArg = std::variant<bool, std::wstring>;

// An automation object reached by member names (late binding). Releasing the object is destroying
// it.
class AutomationObject {
 public:
  virtual ~AutomationObject() = default;

  // Sets a property: object.member = value.
  virtual void Put(std::wstring_view member, const AutomationArg& value) = 0;

  // Reads a property that holds an object, such as Application.Workbooks.
  virtual std::unique_ptr<AutomationObject> GetProperty(std::wstring_view member) = 0;

  // Calls a method with the given arguments, in their natural order. Returns the object the method
  // answered with, or nullptr when it answered with anything else (which callers ignore).
  virtual std::unique_ptr<AutomationObject> Call(std::wstring_view member,
                                                 const std::vector<AutomationArg>& args) = 0;
};

// A link (a junction, symbolic link or mount point) met on the way to a path, and who laid it.
struct PathLink {
  std::wstring path;   // the link, as the way met it, such as C:\Velmor
  std::wstring owner;  // its owner's security identifier ("S-1-5-32-544"); empty when unreadable
};

// How a started program ended, or why it was not started. Other failures to start are thrown.
struct ProgramRun {
  enum class Outcome {
    kEnded,              // it ran and ended with exitCode
    kNeedsElevation,     // it may only run with administrator rights
    kElevationDeclined,  // the user did not give it those rights
  };
  Outcome outcome = Outcome::kEnded;
  std::uint32_t exitCode = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Program facts.
  virtual std::wstring AppPath() = 0;      // folder of the running program, no trailing backslash
  virtual std::wstring CommandLine() = 0;  // everything after the program name

  // A modal message box with an OK button; without a title the program title is shown.
  virtual void MsgBox(std::wstring_view prompt, MsgBoxStyle style = MsgBoxStyle::kOkOnly,
                      std::optional<std::wstring> title = std::nullopt) = 0;

  // Starts the program file at path, with no arguments, in a normal activated window, and waits
  // without a time limit for it to end. The path is never re-parsed as a command line, so a path
  // with spaces cannot start some other program. While it waits, messages that other programs send
  // to this thread's windows are answered (an installer's broadcast must not hang), but no click,
  // key or close is acted on. A program whose manifest asks for administrator rights is not
  // started: the result says so, and the caller may ask for them with StartElevatedAndWait.
  virtual ProgramRun StartAndWait(const std::wstring& path) = 0;

  // The same through the shell, asking the user for administrator rights first. The result says
  // when the user declined.
  virtual ProgramRun StartElevatedAndWait(const std::wstring& path) = 0;

  // File probes: whether a file (not a folder) exists, and a forced deletion that also removes a
  // read-only file and throws when the file cannot be deleted. The deletion opens the file once,
  // not following a link at its name, and does everything through that one opening: it refuses
  // (throws) a file that is not a plain file with that one name at that path (a link, a file with
  // other names, one that the folder's final place does not hold), and what it checked is what it
  // changes, whatever is swapped in at the path meanwhile.
  virtual bool FileExists(const std::wstring& path) = 0;
  virtual void DeleteFileForced(const std::wstring& path) = 0;

  // Whether another program has the file open so that it cannot be deleted now: the file is opened
  // for deletion, sharing nothing, and let go at once; nothing about it changes. Any other reason
  // it cannot be opened is thrown, and so is a file that DeleteFileForced would refuse.
  virtual bool FileInUse(const std::wstring& path) = 0;

  // The links on the way to path, in the order met: each name of the path from its root, and where
  // a link leads, each name of the place it names, so that a link behind a link is met too. A
  // name that does not exist ends the way.
  virtual std::vector<PathLink> LinksOnPath(const std::wstring& path) = 0;

  // Accounts, each named by its security identifier in string form ("S-1-5-21-...").
  // The account this program runs as.
  virtual std::wstring ProgramAccount() = 0;
  // The account of the desktop the program runs on: that of the shell's process (Explorer). None
  // when no shell runs. Empty when the shell's process does not let this program read its account:
  // only a process of the same account may, or one with the debug privilege enabled, which these
  // programs never enable.
  virtual std::optional<std::wstring> DesktopAccount() = 0;
  // The name of an account as the user knows it (PC\name), or its identifier when it has none.
  virtual std::wstring AccountName(const std::wstring& account) = 0;

  // The processes that have a top-level Excel main window (class XLMAIN), visible or not: every
  // Excel running on this desktop, whoever started it. A process is listed once.
  virtual std::vector<std::uint32_t> ExcelProcesses() = 0;

  // Creates a new automation object from its programmatic identifier (e.g. "Excel.Application").
  virtual std::unique_ptr<AutomationObject> CreateObject(std::wstring_view progId) = 0;

  // A steady clock in milliseconds, and a pause during which messages sent to the program's
  // windows are still answered. The Excel step waits with them between calls that a busy Excel
  // turned away.
  virtual std::uint64_t TickCount() = 0;
  virtual void Pause(std::uint32_t milliseconds) = 0;
};

}  // namespace velmor
