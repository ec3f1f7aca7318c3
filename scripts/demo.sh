#!/usr/bin/env bash
# The demo: builds the x64 programs, prepares the Wine prefix, lays out a distribution folder and
# runs Velmor_Setup.exe /A3 from it.
#   bash scripts/demo.sh              on a usable display: a real window to click; waits for it to end
#   bash scripts/demo.sh --headless   (or with no display) on Xvfb, driven: screenshot, close, report
# Screenshots go to build/win64/artifacts/demo/.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

headless=0
for arg in "$@"; do
  case $arg in
    --headless) headless=1 ;;
    -h | --help)
      sed -n '2,7p' "$0"
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

# The scenario library brings the prefix, display, distribution folder and driver helpers, and ends
# everything started here when the demo exits.
# shellcheck source=../tests/e2e/lib.sh
source "$ROOT/tests/e2e/lib.sh" "$ROOT/build/win64"

step_prepare() {
  echo "== display and Wine prefix"
  if ((headless)) || ! velmor_display_usable; then
    headless=1
    export VELMOR_HEADLESS=1
  fi
  e2e_begin
  if [[ -f $(velmor_excel_standin) ]]; then
    velmor_register_excel_standin >/dev/null || e2e_fail "registering the Excel stand-in failed"
  fi
}

step_layout() {
  echo "== distribution folder $E2E_DIST_WIN"
  e2e_install_program Velmor_Setup.exe
  local name
  for name in vcredist_x86.exe Velmor_Pgm.exe; do
    [[ -n $(e2e_find_program "$name") ]] && e2e_install_program "$name"
  done
  ls -1 "$E2E_DIST" | sed 's/^/    /'
}

step_setup_interactive() {
  echo "== Velmor_Setup.exe /A3 on $DISPLAY: use the window; the demo goes on when it ends"
  local rc=0
  e2e_in_dist vwine 3600 "$E2E_DIST/Velmor_Setup.exe" /A3 || rc=$?
  echo "    Velmor_Setup.exe ended with exit code $rc"
}

step_setup_headless() {
  echo "== Velmor_Setup.exe /A3 on Xvfb ($DISPLAY), driven"
  e2e_drive <<EOF
start "$E2E_DIST_WIN\\Velmor_Setup.exe" /A3
window Velmor - TorvaneEx.xla
client-size 395 264
screenshot $(e2e_artifact_win setup_window.bmp)
close
exited
EOF
  echo "    window shown, screenshot saved: $E2E_ARTIFACTS/setup_window.png; closed from its title bar"
}

step_report() {
  echo "== what happened"
  echo "    journal ($E2E_JOURNAL):"
  e2e_journal | sed 's/^/        /'
  echo "    C:\\Velmor:"
  if [[ -d $E2E_VELMOR ]]; then ls -1 "$E2E_VELMOR" | sed 's/^/        /'; else echo "        (none)"; fi
  echo "    add-ins registered for Excel:"
  e2e_addin_values | sed 's/^/        /'
}

step_prepare
step_layout
if ((headless)); then
  step_setup_headless
else
  step_setup_interactive
fi
step_report
echo "demo: done"
