#!/usr/bin/env bash
# Runs the Excel stand-in's unit tests in a Wine prefix of their own, next to the test program:
#   standins/excel/tests/run-under-wine.sh path/to/ExcelStandinTests.exe
# The prefix is created on first use and kept; its wineserver is ended on exit.
set -euo pipefail

tests_exe=$(realpath "$1")
export WINEPREFIX="$(dirname "$tests_exe")/excel-tests-prefix"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=/usr/lib/wine/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver)

end_prefix() { timeout 30 "$wineserver" -k 2>/dev/null || true; }
trap end_prefix EXIT

if [[ ! -f $WINEPREFIX/system.reg ]]; then
  timeout 180 "$wine64" wineboot -i >/dev/null 2>&1
  timeout 60 "$wineserver" -w
fi
timeout 120 "$wine64" "$tests_exe"
