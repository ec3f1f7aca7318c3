#!/usr/bin/env bash
# Measures the CPU time a program spends waiting for an installer that runs for 5 s, through the
# platform's start (the wait the setup program uses): once for a quiet installer and once for one
# that broadcasts a setting change while it runs. Prints the figures.
#   bash scripts/bench-wait.sh [BUILD_DIR]      (default build/win64, built with its tests)
set -euo pipefail
# shellcheck source=wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" "${1:-}"
trap velmor_cleanup EXIT
trap 'exit 130' INT TERM HUP

bench=$VELMOR_BUILD/tests/platform/PlatformStartTests.exe
[[ -f $bench ]] || { echo "build the win64 preset first" >&2; exit 1; }

velmor_start_display
velmor_prepare_prefix
vwine 120 "$bench" --gtest_also_run_disabled_tests --gtest_filter='PlatformStart.DISABLED_WaitBench'
