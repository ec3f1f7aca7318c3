#!/usr/bin/env bash
# Both windows at 96, 120 and 144 DPI (the prefix's LogPixels): the client area and every real
# control within 1 pixel of its twips rectangle scaled to the DPI, every caption on as many lines as
# at 96 DPI and not cut off, the pictures drawn at their own size pixel for pixel, the overlapping
# option buttons stacked as listed; a screenshot of each window at each DPI. The DPI is a setting of
# the whole prefix, so this scenario keeps a prefix of its own and the others never see it.
if [[ -n ${1:-} ]]; then
  VELMOR_WINEPREFIX="$(mkdir -p "$1" && cd "$1" && pwd)/wineprefix-dpi"
  export VELMOR_WINEPREFIX
fi
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

PICTURE='class:VelmorPictureBox'
REDIST_CAPTION='Microsoft Visual C++ 2010 x86 Redistributable - 10.0.3019'
LOGO=$(velmor_winpath "$VELMOR_ROOT/common/res/logo.jpg")

# LogPixels for the user and the machine, read by each Wine process as it starts.
e2e_set_dpi() {
  local hex
  hex=$(printf '%d' "$1")
  vwine 60 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$hex" /f >/dev/null
  vwine 60 reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$hex" /f >/dev/null
  timeout 30 "$VELMOR_WINESERVER" -k >/dev/null 2>&1 || true
  timeout 30 "$VELMOR_WINESERVER" -w >/dev/null 2>&1 || true
}

# Steps shared by both windows: the client area, the logo box with its picture, the buttons, and
# the labels they have in common (Label6, Label3, Label2). Captions are checked inside the
# buttons' frames. The pictures are compared once the logo box has passed the focus on: while it
# has it, a focus rectangle lies over the logo's edge.
common_steps() {
  local start_left=$1 start_picture=$2
  cat <<EOF
twips-rect client 0 0 5925 3960
twips-rect $PICTURE 120 120 2055 495
twips-rect 終了 4920 3360 855 495
twips-rect 開始 $start_left 1080 1095 975
key Tab
focus 開始
picture $PICTURE | $LOGO | corner
picture 開始 | $start_picture | inside
caption-lines $((4920 + 60)) $((3360 + 60)) $((855 - 120)) $((495 - 120)) 1
caption-lines $((start_left + 90)) $((1080 + 90)) $((1095 - 180)) $((975 - 180)) 2
caption-lines 2280 400 1005 225 1
caption-lines 600 3650 2055 255 1
caption-lines 360 3360 2415 255 1
EOF
}

setup_steps() {
  local dpi=$1 top
  cat <<EOF
start "$E2E_DIST_WIN\\Velmor_Setup.exe" /A3
window Velmor - TorvaneEx.xla
z-order $REDIST_CAPTION | 終了 | 開始 | $PICTURE
twips-rect $REDIST_CAPTION 1920 840 3135 495
caption-lines $((1920 + 300)) 840 $((3135 - 300)) 495 2
caption-lines 1920 1425 855 255 1
EOF
  for top in 1700 1960 2220 2480 2740; do echo "caption-lines 2200 $top 2295 240 1"; done
  common_steps 240 "$(velmor_winpath "$VELMOR_ROOT/setup/res/start.gif")"
  cat <<EOF
screenshot $(e2e_artifact_win "setup_${dpi}dpi.bmp")
close
exited 0
EOF
}

uninstall_steps() {
  local dpi=$1 option
  cat <<EOF
start "$E2E_DIST_WIN\\UnInstall.exe"
window Velmor Ａｄｄｉｎ　開放
z-order Quillon.exe | MalvixEx.xla | TorvaneEx.xla | BriselEx.xla | CordaleEx.xla | 終了 | 開始 | $PICTURE
EOF
  for option in "Quillon.exe 2460" "MalvixEx.xla 2170" "TorvaneEx.xla 1920" "BriselEx.xla 1605" \
    "CordaleEx.xla 1320"; do
    set -- $option
    echo "twips-rect $1 2520 $2 1935 255"
    echo "caption-lines $((2520 + 300)) $2 $((1935 - 300)) 255 1"
  done
  cat <<EOF
caption-lines 3240 780 2655 255 1
caption-lines 2040 1065 855 255 1
EOF
  common_steps 480 "$(velmor_winpath "$VELMOR_ROOT/uninstall/res/start.gif")"
  cat <<EOF
screenshot $(e2e_artifact_win "uninstall_${dpi}dpi.bmp")
close
exited 0
EOF
}

e2e_begin
e2e_install_program Velmor_Setup.exe UnInstall.exe

for dpi in 96 120 144; do
  e2e_log "$dpi DPI"
  e2e_set_dpi "$dpi"
  setup_steps "$dpi" | e2e_drive
  uninstall_steps "$dpi" | e2e_drive
  e2e_assert_file "$E2E_ARTIFACTS/setup_${dpi}dpi.png"
  e2e_assert_file "$E2E_ARTIFACTS/uninstall_${dpi}dpi.png"
done

e2e_pass
