#!/bin/sh
# Runs the installer stand-in tests under Wine: a throwaway prefix next to the test program, a private
# Xvfb display for the windows, and everything started here ended again by PID or by its prefix.
# Usage: run-under-wine.sh <path of InstallerStandinTests.exe>
set -u
tests_exe=$(realpath "$1")
prefix=$(dirname "$tests_exe")/test-prefix
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  WINEPREFIX="$prefix" timeout 30 wineserver -k >/dev/null 2>&1
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  rm -f "$display_file"
}
trap cleanup EXIT INT TERM

for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
if [ ! -s "$display_file" ]; then echo "Xvfb did not start" >&2; exit 1; fi
export DISPLAY=":$(cat "$display_file")"

timeout 30 wineserver -k >/dev/null 2>&1  # a server left from elsewhere would lack this display
if [ ! -d "$prefix/drive_c" ]; then
  timeout 120 wine wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
fi
timeout 180 wine "$tests_exe"
