#!/usr/bin/env bash
# Runs a Windows test program in the test bed's Wine prefix, with a display, and ends what it
# started (the prefix's wineserver, a private Xvfb) afterwards:
#   bash scripts/wine-test.sh BUILD_DIR path/to/program.exe [arguments...]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" "$1"
shift
trap velmor_cleanup EXIT
velmor_start_display
velmor_prepare_prefix
vwine "${VELMOR_TEST_SECONDS:-300}" "$@"
