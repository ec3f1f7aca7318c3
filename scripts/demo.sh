#!/usr/bin/env bash
# The demo: builds the x64 programs, prepares the Wine prefix with the Excel stand-in, lays out a
# distribution folder (the setup program and the two stand-in installers), installs the add-in
# TorvaneEx with Velmor_Setup.exe /A3 and removes it again with C:\Velmor\UnInstall.exe.
#   bash scripts/demo.sh              on a usable display: real windows to click; each step waits
#   bash scripts/demo.sh --headless   (or with no display) on Xvfb, driven, with screenshots
# Screenshots go to build/win64/artifacts/demo_setup/ and demo_uninstall/.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

headless=0
for arg in "$@"; do
  case $arg in
    --headless) headless=1 ;;
    -h | --help)
      sed -n '2,8p' "$0"
      exit 0
      ;;
    *)
      echo "demo: unknown option $arg" >&2
      exit 2
      ;;
  esac
done

bash scripts/install-deps.sh

step_build() {
  echo "== build (win64)"
  cmake --preset win64 >/dev/null
  cmake --build --preset win64
}
step_build

# The test bed: the prefix, the display, and the end of everything started here when the demo
# exits.
# shellcheck source=wine-env.sh
source "$ROOT/scripts/wine-env.sh" "$ROOT/build/win64"
trap velmor_cleanup EXIT
trap 'exit 130' INT TERM HUP
DIST='C:\dist\Velmor CD'
VELMOR=$WINEPREFIX/drive_c/Velmor
JOURNAL=$WINEPREFIX/drive_c/standins/journal.txt

# Runs the driver on one of the demo's steps files (scripts/demo_<name>.steps); its screenshots go
# to build/win64/artifacts/demo_<name>/. Excel's add-in list stays as the demo leaves it (the
# demo's own prefix), so that the report shows what the install registered.
drive() {
  vwine 600 "$VELMOR_BUILD/tests/e2e/driver/e2e_driver.exe" --keep-addins \
    "$(velmor_winpath "$ROOT/scripts/demo_$1.steps")" >/dev/null ||
    { echo "demo: the driver failed on scripts/demo_$1.steps" >&2 && exit 1; }
}

step_prepare() {
  echo "== display and Wine prefix"
  if ((headless)) || ! velmor_display_usable; then
    headless=1
    export VELMOR_HEADLESS=1
  fi
  velmor_start_display
  velmor_prepare_prefix
  velmor_register_excel_standin 2>/dev/null ||
    { echo "demo: registering the Excel stand-in failed" >&2 && exit 1; }
}

step_layout() {
  echo "== distribution folder $DIST"
  drive layout
  ls -1 "$(velmor_unixpath "$DIST")" | sed 's/^/    /'
}

step_setup_interactive() {
  echo "== Velmor_Setup.exe /A3 on $DISPLAY: tick the redistributable if you like, press 開始, then 終了"
  local rc=0
  # Started from its folder, as from Explorer.
  cd "$(velmor_unixpath "$DIST")"
  vwine 3600 "$DIST\\Velmor_Setup.exe" /A3 || rc=$?
  cd "$ROOT"
  echo "    Velmor_Setup.exe ended with exit code $rc"
}

step_uninstall_interactive() {
  if [[ ! -f $VELMOR/UnInstall.exe ]]; then
    echo "== no C:\\Velmor\\UnInstall.exe (the package did not run): nothing to uninstall"
    return
  fi
  echo "== C:\\Velmor\\UnInstall.exe on $DISPLAY: choose TorvaneEx.xla, press 開始, then 終了"
  local rc=0
  vwine 3600 "$VELMOR/UnInstall.exe" || rc=$?
  echo "    UnInstall.exe ended with exit code $rc"
}

step_setup_headless() {
  echo "== Velmor_Setup.exe /A3 on Xvfb ($DISPLAY), driven: redistributable ticked, 開始"
  drive setup
}

step_uninstall_headless() {
  echo "== C:\\Velmor\\UnInstall.exe on Xvfb ($DISPLAY), driven: TorvaneEx.xla chosen, 開始"
  drive uninstall
}

# Excel's add-in values (OPEN, OPEN1, ...) as "NAME=DATA" lines.
addin_values() {
  vwine 60 reg query 'HKCU\Software\Microsoft\Office\16.0\Excel\Options' 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *\(OPEN[0-9]*\) *REG_SZ *\(.*\)$/\1=\2/p' || true
}

# What the stand-ins saw since the last report: installers with their exit codes, Excel's calls.
REPORTED_LINES=0
step_report() {
  echo "== what happened"
  local lines
  lines=$({ tr -d '\r' <"$JOURNAL" 2>/dev/null || true; } | tail -n +$((REPORTED_LINES + 1)))
  REPORTED_LINES=$((REPORTED_LINES + $(printf '%s' "$lines" | grep -c '' || true)))
  echo "    installers run (exit codes):"
  printf '%s\n' "$lines" | sed -n 's/^\(.*\.exe\): end exit=\(.*\)$/        \1 exit code \2/p' |
    grep . || echo "        (none)"
  echo "    Excel was asked:"
  printf '%s\n' "$lines" | sed -n 's/^excel: \([^#].*\)$/        \1/p' | grep . ||
    echo "        (nothing)"
  echo "    C:\\Velmor now holds:"
  if [[ -d $VELMOR ]]; then ls -1 "$VELMOR" | sed 's/^/        /'; else echo "        (nothing)"; fi
  echo "    add-ins registered for Excel:"
  local values
  values=$(addin_values)
  if [[ -n $values ]]; then printf '%s\n' "$values" | sed 's/^/        /'; else echo "        (none)"; fi
}

step_prepare
step_layout
if ((headless)); then
  step_setup_headless
  step_report
  step_uninstall_headless
  step_report
  echo "    screenshots:"
  ls -1 "$VELMOR_BUILD"/artifacts/demo_*/*.png | sed 's/^/        /'
else
  step_setup_interactive
  step_report
  step_uninstall_interactive
  step_report
fi
echo "demo: done"
