// Times launch -> visible window for a few programs, started alternately in one Wine session.
//   launch_bench ROUNDS PROGRAM...
// Each round starts every program once (the order rotates from round to round so that none always
// follows the same one), polls every millisecond for a visible top-level window of the new process,
// then closes that window and waits for the process to end. One unrecorded round warms up first.
// Prints each round's times, then each program's median time and the median of its ratios to the
// first program, taken round by round.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Handles.h"

namespace {

using velmor::win32::UniqueHandle;

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == search->processId && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

// Starts the program from its own folder; returns the milliseconds until its window is visible,
// or a negative value when it fails to start or shows nothing within 30 s.
double TimeLaunch(const std::wstring& program) {
  std::wstring commandLine = L"\"" + program + L"\"";
  const std::wstring folder = program.substr(0, program.find_last_of(L"\\/"));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};

  // Wine 8 loses a start now and then (ERROR_INTERNAL_ERROR: the new process ended before it said
  // it had started, before any of the program's code ran): such a start is timed again.
  LARGE_INTEGER start;
  for (int attempt = 1;; ++attempt) {
    QueryPerformanceCounter(&start);
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &info)) {
      break;
    }
    const DWORD error = GetLastError();
    std::fwprintf(stderr, L"cannot start %ls: error %lu\n", program.c_str(), error);
    if (error != ERROR_INTERNAL_ERROR || attempt == 3) return -1;
  }
  const UniqueHandle process(info.hProcess);
  const UniqueHandle thread(info.hThread);

  Search search = {info.dwProcessId, nullptr};
  LARGE_INTEGER now = start;
  while (search.found == nullptr && Milliseconds(start, now) < 30000.0) {
    EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
    QueryPerformanceCounter(&now);
    if (search.found == nullptr) {
      if (WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0) break;  // ended: never shown
    }
  }
  const double elapsed = Milliseconds(start, now);

  if (search.found != nullptr) PostMessageW(search.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 10000);
  }
  Sleep(200);  // let the window system settle before the next launch
  return search.found != nullptr ? elapsed : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::wstring FileName(const std::wstring& path) {
  return path.substr(path.find_last_of(L"\\/") + 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: launch_bench ROUNDS PROGRAM...\n");
    return 2;
  }
  const int rounds = std::max(1, _wtoi(argv[1]));
  const std::vector<std::wstring> programs(argv + 2, argv + argc);
  const std::size_t count = programs.size();

  for (const auto& program : programs) {
    if (TimeLaunch(program) < 0) return 1;  // warm-up, and a check that each one starts
  }

  std::vector<std::vector<double>> times(count);
  for (int round = 0; round < rounds; ++round) {
    std::wprintf(L"round %2d:", round + 1);
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t i = (static_cast<std::size_t>(round) + k) % count;
      const double ms = TimeLaunch(programs[i]);
      if (ms < 0) return 1;
      times[i].push_back(ms);
      std::wprintf(L"  %ls %.1f ms", FileName(programs[i]).c_str(), ms);
    }
    std::wprintf(L"\n");
    std::fflush(stdout);
  }

  // Launches of one round lie close together in time: each round's own ratio, and their median,
  // hold still on a machine whose load drifts, where the medians of the times do not.
  std::wprintf(
      L"\nmedian launch -> visible window over %d rounds, and the median of each round's "
      L"ratio to %ls:\n",
      rounds, FileName(programs[0]).c_str());
  for (std::size_t i = 0; i < count; ++i) {
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round)
      ratios.push_back(times[i][round] / times[0][round]);
    std::wprintf(L"  %-20ls %8.1f ms  %.2fx\n", FileName(programs[i]).c_str(), Median(times[i]),
                 Median(ratios));
  }
  return 0;
}
