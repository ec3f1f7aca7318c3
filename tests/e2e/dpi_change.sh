#!/usr/bin/env bash
# Both windows moved between monitors of different DPIs, 96 -> 120 -> 144 -> 96, as Windows moves
# a per-monitor aware window: in the program's own thread, the window is asked for its size at the
# new DPI and told of the DPI with the suggested rectangle (the driver's hook; Wine itself never
# changes a window's DPI). After each change the window must show what it shows when it starts at
# that DPI: the same client area, controls, boxes and fonts, and pixel for pixel the same client
# area but inside the check boxes and option buttons, whose marks Wine's system draws at the
# system DPI. The layouts at start are taken here, as the dpi scenario starts the programs, at 96,
# 120 and 144 DPI. Then 50 more changes leave the program's GDI objects as they were. The DPI is a
# setting of the whole prefix, so this scenario uses the dpi scenario's prefix.
if [[ -n ${1:-} ]]; then
  VELMOR_WINEPREFIX="$(mkdir -p "$1" && cd "$1" && pwd)/wineprefix-dpi"
  export VELMOR_WINEPREFIX
fi
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

SETUP_TITLE='Velmor - TorvaneEx.xla'
UNINSTALL_TITLE='Velmor Ａｄｄｉｎ　開放'
# Outside the artifacts' top folder, whose pictures each driver run turns into PNG files.
LAYOUTS=$E2E_ARTIFACTS/layouts

# LogPixels for the user and the machine, read by each Wine process as it starts.
e2e_set_dpi() {
  local value
  value=$(printf '%d' "$1")
  vwine 60 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$value" /f >/dev/null
  vwine 60 reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$value" /f >/dev/null
  timeout 30 "$VELMOR_WINESERVER" -k >/dev/null 2>&1 || true
  timeout 30 "$VELMOR_WINESERVER" -w >/dev/null 2>&1 || true
}

layout_file() { velmor_winpath "$LAYOUTS/$1_$2dpi.txt"; }

# start_steps <program> <title> [arguments]
start_steps() {
  echo "start \"$E2E_DIST_WIN\\$1\" ${3:-}"
  echo "window $2"
}

e2e_begin
e2e_install_program Velmor_Setup.exe UnInstall.exe
mkdir -p "$LAYOUTS"

for dpi in 96 120 144; do
  e2e_log "both windows as they start at $dpi DPI"
  e2e_set_dpi "$dpi"
  e2e_drive <<EOF
$(start_steps Velmor_Setup.exe "$SETUP_TITLE" /A3)
layout save $(layout_file setup "$dpi")
close
exited 0
$(start_steps UnInstall.exe "$UNINSTALL_TITLE")
layout save $(layout_file uninstall "$dpi")
close
exited 0
EOF
done

# change_steps <name> <program> <title> [arguments]: started at 96 DPI, moved to 120, 144 and back
# to 96 DPI, compared with the window started at each; then 50 changes more.
change_steps() {
  start_steps "$2" "$3" "${4:-}"
  echo "layout same $(layout_file "$1" 96)"
  local dpi
  for dpi in 120 144 96; do
    echo "dpi-change $dpi"
    echo "layout same $(layout_file "$1" "$dpi")"
  done
  cat <<EOF
gdi-flat 50 120 144 96
close
exited 0
EOF
}

e2e_set_dpi 96
e2e_log "setup: started at 96 DPI, moved to 120, 144 and back to 96 DPI, then 50 times more"
change_steps setup Velmor_Setup.exe "$SETUP_TITLE" /A3 | e2e_drive
e2e_log "uninstall: the same"
change_steps uninstall UnInstall.exe "$UNINSTALL_TITLE" | e2e_drive

e2e_pass
