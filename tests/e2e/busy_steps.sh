#!/usr/bin/env bash
# While a step runs (an installer, the Excel macro) both programs answer what other programs send
# them, act on nothing, stay open and are never taken for hung: an installer's broadcast completes, a close sent meanwhile
# changes nothing, and a request to end the session is refused until the step has ended.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/install_lib.sh"

PACKAGE_WINDOW='Velmor_Pgm.exe - stand-in installer'
EXCEL_WINDOW='Excel stand-in'
mapfile -t EXCEL_RELEASE_TORVANE < <(e2e_excel_install_calls Addin_UnInstall TorvaneEx)

e2e_begin
e2e_register_excel

e2e_log "the package broadcasts a setting change to every window while the setup waits for it"
e2e_fresh_dist
e2e_order Velmor_Pgm.exe broadcast=Environment
e2e_drive_install_torvane
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: broadcast WM_SETTINGCHANGE Environment" \
  "Velmor_Pgm.exe: broadcast answered" "Velmor_Pgm.exe: end exit=0" "${EXCEL_INSTALL_TORVANE[@]}"
e2e_expect_addins 'OPEN="C:\Velmor\TorvaneEx.xla"'

e2e_log "idle, the session may end; a close and an end of the session sent while the package runs: refused"
e2e_fresh_dist
e2e_order Velmor_Pgm.exe delay_ms=4000
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
send WM_QUERYENDSESSION 1
click 開始
other-window $PACKAGE_WINDOW
send WM_CLOSE
send WM_QUERYENDSESSION 0
window Velmor - TorvaneEx.xla
$DONE_STEP
window Velmor - TorvaneEx.xla
close
exited 0
EOF
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" "${EXCEL_INSTALL_TORVANE[@]}"
e2e_expect_addins 'OPEN="C:\Velmor\TorvaneEx.xla"'

e2e_log "a 9 s package: the window is disabled, yet not taken for hung 7 s into it; given back after"
e2e_fresh_dist
e2e_order Velmor_Pgm.exe delay_ms=9000
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
enabled yes
click 開始
other-window $PACKAGE_WINDOW
enabled no
sleep 7000
not-hung
$DONE_STEP
enabled yes
close
exited 0
EOF

e2e_log "a close sent while Excel runs the install macro: refused, the install completes"
e2e_fresh_dist
e2e_order excel macro_delay_ms=3000
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
click 開始
other-window $EXCEL_WINDOW
send WM_CLOSE
window Velmor - TorvaneEx.xla
$DONE_STEP
window Velmor - TorvaneEx.xla
close
exited 0
EOF
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" "${EXCEL_INSTALL_TORVANE[@]}"
e2e_expect_addins 'OPEN="C:\Velmor\TorvaneEx.xla"'

e2e_log "a close and an end of the session sent while Excel runs the release macro: refused"
# The product folder as the package lays it out, with TorvaneEx registered in Excel.
e2e_reset
e2e_install_program Velmor_Pgm.exe
e2e_in_dist vwine 60 "$E2E_DIST_WIN\\Velmor_Pgm.exe" || e2e_fail "the package did not lay out C:\\Velmor"
vwine 60 reg add "$E2E_ADDIN_KEY" /v OPEN /t REG_SZ /d '"C:\Velmor\TorvaneEx.xla"' /f >/dev/null
rm -f "$E2E_JOURNAL"
e2e_order excel macro_delay_ms=3000
e2e_drive <<EOF
start "C:\Velmor\UnInstall.exe"
window Velmor Ａｄｄｉｎ　開放
click TorvaneEx.xla
window Velmor - TorvaneEx UnInstall
click 開始
other-window $EXCEL_WINDOW
send WM_CLOSE
send WM_QUERYENDSESSION 0
window Velmor - TorvaneEx UnInstall
msgbox UnInstall | アドイン関数(TorvaneEx)を開放しました。
window Velmor - TorvaneEx UnInstall
close
exited 0
EOF
e2e_expect_events "${EXCEL_RELEASE_TORVANE[@]}"
e2e_expect_addins
e2e_assert_no_path "$E2E_VELMOR/TorvaneEx.xla"

e2e_pass
