#!/usr/bin/env bash
# A second start of either program: the first copy's window comes to the front, the second ends
# without a window (a second setup for another add-in first says which one is being installed), and
# the install runs once.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/install_lib.sh"

e2e_begin
e2e_register_excel

e2e_log "setup started twice, the first minimised: it is restored and in front; one install"
e2e_fresh_dist
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
minimize
start-second "$SETUP" /A3
foreground
check $REDIST_CAPTION
click 開始
$DONE_STEP
click 終了
exited 0
EOF
e2e_expect_events "vcredist_x86.exe: start" "vcredist_x86.exe: end exit=0" \
  "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" "${EXCEL_INSTALL_TORVANE[@]}"

e2e_log "setup started again while the first copy waits for an installer: another add-in is told to wait, still one run"
e2e_fresh_dist
e2e_order Velmor_Pgm.exe delay_ms=4000
e2e_drive <<EOF
start "$SETUP" /A2
window Velmor - BriselEx.xla
click 開始
sleep 500
start-second "$SETUP" /A4 | Velmor_Setup | セットアップは既に実行中です（BriselEx.xla）。 | MalvixEx.xla をインストールするには、実行中のセットアップを終了してから
start-second "$SETUP" /A2
$DONE_STEP
click 終了
exited 0
EOF
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" "${EXCEL_INSTALL_BRISEL[@]}"

e2e_log "the uninstall program started twice"
e2e_drive <<EOF
start C:\\Velmor\\UnInstall.exe
window Velmor Ａｄｄｉｎ　開放
minimize
start-second C:\\Velmor\\UnInstall.exe
foreground
click 終了
exited 0
EOF

e2e_pass
