#pragma once

// What both programs' Module1 share: the add-in catalogue, the two file probes and the watch over
// running Excel instances.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ExcelTool.h"
#include "Platform.h"

namespace velmor {

// Exit code when the program ran as another account than its desktop's and showed no window.
inline constexpr int kExitOtherAccount = 3;

// The add-in catalogue: ten rows with indexes 1 to 10. Rows 1 to 5 hold the add-in base names (file
// name without folder and extension), rows 6 to 10 are reserved and empty. There is no row 0.
class AddinNameTable {
 public:
  static constexpr std::int16_t kFirst = 1;
  static constexpr std::int16_t kLast = 10;

  // Throws RuntimeError (error 9, out of range) for an index outside 1 to 10.
  const std::wstring& operator()(std::int16_t index) const;
  std::wstring& operator()(std::int16_t index);

 private:
  std::array<std::wstring, kLast> rows_;
};

class SharedModule {
 public:
  explicit SharedModule(Platform& platform) : platform_(platform), excels_(platform) {}
  SharedModule(const SharedModule&) = delete;
  SharedModule& operator=(const SharedModule&) = delete;

  AddinNameTable AddinNames;

  // Fills AddinNames; calling it again writes the same values.
  void SetAddinNames();

  // True when path names an existing file. Shows nothing.
  bool CheckFile(const std::wstring& path);

  // Deletes the file at path, also when read-only. A failure is thrown to the caller.
  void RemoveFile(const std::wstring& path);

  // True when the program runs as the account of its desktop. Otherwise the user is told, by the
  // message made with the program's account name, the program is to end without its window, and
  // the answer is false.
  [[nodiscard]] bool RunsAsDesktopUser(std::wstring (*message)(std::wstring_view accountName));

  // True when no link on the way to paths was laid by another ordinary account. Otherwise the
  // user is told which, nothing may change, and the answer is false.
  [[nodiscard]] bool LinksTrusted(const std::vector<std::wstring>& paths);

  // Every Excel running, and the ones this program started for its Excel steps.
  ExcelWatch& Excels() { return excels_; }

  // The exit code of a run that ended without showing its window (0 otherwise).
  int ExitCode() const { return exitCode_; }

 protected:
  Platform& platform_;
  ExcelWatch excels_;
  int exitCode_ = 0;
};

}  // namespace velmor
