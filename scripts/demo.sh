#!/usr/bin/env bash
# The demo: builds the x64 programs, prepares the Wine prefix with the Excel stand-in, lays out a
# distribution folder (the setup program and the two stand-in installers), installs the add-in
# TorvaneEx with Velmor_Setup.exe /A3 and removes it again with C:\Velmor\UnInstall.exe.
#   bash scripts/demo.sh              on a usable display: real windows to click; each step waits
#   bash scripts/demo.sh --headless   (or with no display) on Xvfb, driven, with screenshots
# Screenshots go to build/win64/artifacts/demo/.
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
  velmor_register_excel_standin >/dev/null || e2e_fail "registering the Excel stand-in failed"
}

step_layout() {
  echo "== distribution folder $E2E_DIST_WIN"
  e2e_install_program Velmor_Setup.exe vcredist_x86.exe Velmor_Pgm.exe
  ls -1 "$E2E_DIST" | sed 's/^/    /'
}

step_setup_interactive() {
  echo "== Velmor_Setup.exe /A3 on $DISPLAY: tick the redistributable if you like, press 開始, then 終了"
  local rc=0
  e2e_in_dist vwine 3600 "$E2E_DIST/Velmor_Setup.exe" /A3 || rc=$?
  echo "    Velmor_Setup.exe ended with exit code $rc"
}

step_uninstall_interactive() {
  if [[ ! -f $E2E_VELMOR/UnInstall.exe ]]; then
    echo "== no C:\\Velmor\\UnInstall.exe (the package did not run): nothing to uninstall"
    return
  fi
  echo "== C:\\Velmor\\UnInstall.exe on $DISPLAY: choose TorvaneEx.xla, press 開始, then 終了"
  local rc=0
  vwine 3600 "$E2E_VELMOR/UnInstall.exe" || rc=$?
  echo "    UnInstall.exe ended with exit code $rc"
}

step_setup_headless() {
  echo "== Velmor_Setup.exe /A3 on Xvfb ($DISPLAY), driven: redistributable ticked, 開始"
  e2e_drive <<EOF
start "$E2E_DIST_WIN\\Velmor_Setup.exe" /A3
window Velmor - TorvaneEx.xla
client-size 395 264
check Microsoft Visual C++ 2010 x86 Redistributable - 10.0.3019
screenshot $(e2e_artifact_win setup_before.bmp)
click 開始
msgbox 終了確認 | " ソフト展開完了！"
screenshot $(e2e_artifact_win setup_after.bmp)
click 終了
exited 0
EOF
}

step_uninstall_headless() {
  echo "== C:\\Velmor\\UnInstall.exe on Xvfb ($DISPLAY), driven: TorvaneEx.xla chosen, 開始"
  e2e_drive <<EOF
start "C:\\Velmor\\UnInstall.exe"
window Velmor Ａｄｄｉｎ　開放
click TorvaneEx.xla
window Velmor - TorvaneEx UnInstall
screenshot $(e2e_artifact_win uninstall_before.bmp)
click 開始
msgbox UnInstall | アドイン関数(TorvaneEx)を開放しました。
screenshot $(e2e_artifact_win uninstall_after.bmp)
click 終了
exited 0
EOF
}

# What the stand-ins saw since the last report: installers with their exit codes, Excel's calls.
REPORTED_LINES=0
step_report() {
  echo "== what happened"
  local lines
  lines=$(e2e_journal | tail -n +$((REPORTED_LINES + 1)))
  REPORTED_LINES=$((REPORTED_LINES + $(printf '%s' "$lines" | grep -c '' || true)))
  echo "    installers run (exit codes):"
  printf '%s\n' "$lines" | sed -n 's/^\(.*\.exe\): end exit=\(.*\)$/        \1 exit code \2/p' |
    grep . || echo "        (none)"
  echo "    Excel was asked:"
  printf '%s\n' "$lines" | sed -n 's/^excel: \([^#].*\)$/        \1/p' | grep . ||
    echo "        (nothing)"
  echo "    C:\\Velmor now holds:"
  if [[ -d $E2E_VELMOR ]]; then ls -1 "$E2E_VELMOR" | sed 's/^/        /'; else echo "        (nothing)"; fi
  echo "    add-ins registered for Excel:"
  local values
  values=$(e2e_addin_values)
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
  ls -1 "$E2E_ARTIFACTS"/*.png | sed 's/^/        /'
else
  step_setup_interactive
  step_report
  step_uninstall_interactive
  step_report
fi
echo "demo: done"
