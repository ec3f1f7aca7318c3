#!/usr/bin/env bash
# Runs PlatformStartTests.exe in the test bed's Wine prefix:
#   tests/platform/run-under-wine.sh BUILD_DIR PlatformStartTests.exe vcredist_x86.exe
set -euo pipefail
build=$1 tests_exe=$2 standin=$3
# shellcheck source=../../scripts/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh" "$build"
trap velmor_cleanup EXIT
trap 'exit 130' INT TERM HUP

velmor_start_display
velmor_prepare_prefix
vwine 300 "$tests_exe" "$(velmor_winpath "$standin")"
