#!/usr/bin/env bash
# Runs one end-to-end scenario under Wine:
#   bash tests/e2e/run.sh <scenario> BUILD_DIR        (BUILD_DIR: the win64 build, e.g. build/win64)
#   VELMOR_E2E_CASE=<number or part of a title> bash tests/e2e/run.sh ...    (that case alone)
# Starts the world the steps file tests/e2e/<scenario>.steps needs (a display, the Wine prefix,
# the Excel stand-in registered in it), runs the driver on it and ends what it started. The dpi
# scenario runs in a prefix of its own at 96, 120 and 144 DPI, since the DPI is a setting of the
# whole prefix; dpi_change runs in it at 96 DPI.
set -euo pipefail
scenario=${1:?usage: $0 <scenario> BUILD_DIR}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [[ $scenario == dpi || $scenario == dpi_change ]]; then
  VELMOR_WINEPREFIX="$(mkdir -p "${2:?}" && cd "$2" && pwd)/wineprefix-dpi"
  export VELMOR_WINEPREFIX
fi
# shellcheck source=../../scripts/wine-env.sh
source "$here/../../scripts/wine-env.sh" "${2:?usage: $0 <scenario> BUILD_DIR}"
trap velmor_cleanup EXIT
trap 'exit 130' INT TERM HUP

velmor_start_display
velmor_prepare_prefix
velmor_register_excel_standin
rm -rf "$VELMOR_BUILD/artifacts/$scenario"

drive() {
  vwine 850 "$VELMOR_BUILD/tests/e2e/driver/e2e_driver.exe" ${VELMOR_E2E_CASE:+--case "$VELMOR_E2E_CASE"} \
    "$(velmor_winpath "$here/$scenario.steps")"
}

# The DPI for the user and the machine, read by each Wine process as it starts.
set_dpi() {
  local key
  for key in 'HKCU\Control Panel\Desktop' \
    'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    vwine 60 reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  done
  timeout 30 "$VELMOR_WINESERVER" -k >/dev/null 2>&1 || true
  timeout 30 "$VELMOR_WINESERVER" -w >/dev/null 2>&1 || true
}

if [[ $scenario == dpi ]]; then
  for dpi in 96 120 144; do
    set_dpi "$dpi"
    drive
  done
elif [[ $scenario == dpi_change ]]; then
  set_dpi 96
  drive
else
  drive
fi
