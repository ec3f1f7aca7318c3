#!/usr/bin/env bash
# While a step runs (an installer, the Excel macro) both programs answer what other programs send
# them, act on nothing, stay open and are never taken for hung: an installer's broadcast completes,
# a close sent meanwhile changes nothing, and a click posted to an option button changes nothing.
# The window stays enabled, so that Windows activates it when an installer's window closes. Ending
# the session is refused while Excel is driven, never while an installer runs: a restart that an
# installer started (1641) goes ahead.
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

e2e_log "idle, the session may end; while the package runs a close is refused, the end of the session not"
e2e_fresh_dist
e2e_order Velmor_Pgm.exe delay_ms=4000
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
send WM_QUERYENDSESSION 1
click 開始
other-window $PACKAGE_WINDOW
send WM_CLOSE
send WM_QUERYENDSESSION 1
window Velmor - TorvaneEx.xla
$DONE_STEP
window Velmor - TorvaneEx.xla
close
exited 0
EOF
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" "${EXCEL_INSTALL_TORVANE[@]}"
e2e_expect_addins 'OPEN="C:\Velmor\TorvaneEx.xla"'

e2e_log "a 9 s package: the window stays enabled and is not taken for hung 7 s into it"
e2e_fresh_dist
e2e_order Velmor_Pgm.exe delay_ms=9000
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
enabled yes
click 開始
other-window $PACKAGE_WINDOW
enabled yes
sleep 7000
not-hung
$DONE_STEP
enabled yes
close
exited 0
EOF

e2e_log "the package closes its window and cleans up for 5 s: the setup window, enabled, is activated"
e2e_fresh_dist
e2e_order Velmor_Pgm.exe delay_ms=3000 linger_ms=5000
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
click 開始
other-window-gone $PACKAGE_WINDOW | enabled yes | foreground
$DONE_STEP
window Velmor - TorvaneEx.xla
close
exited 0
EOF
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: window closed" \
  "Velmor_Pgm.exe: end exit=0" "${EXCEL_INSTALL_TORVANE[@]}"

e2e_log "the package starts a restart (1641) and Windows asks every program: the setup agrees"
e2e_fresh_dist
e2e_order Velmor_Pgm.exe exit=1641 query_end_session=1
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
click 開始
msgbox-contains Velmor_Setup | （Velmor_Pgm.exe）が Windows の再起動を始めました | セットアップをもう一度起動して、「開始」を押して
no-msgbox 1000
click 終了
exited 0
EOF
e2e_expect_events "Velmor_Pgm.exe: start" \
  'Velmor_Pgm.exe: WM_QUERYENDSESSION "Velmor - TorvaneEx.xla" answered 1' \
  "Velmor_Pgm.exe: end exit=1641"

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

# As a screen reader's default action or another program's automation would, while UnInstall
# waits for a busy Excel to release TorvaneEx.
e2e_log "a click posted to MalvixEx while a busy Excel releases TorvaneEx: the choice stays"
e2e_installed_product
e2e_order excel busy_ms=3000
e2e_drive <<EOF
start "$UNINSTALL"
window $TITLE_START
click TorvaneEx.xla
window Velmor - TorvaneEx UnInstall
click 開始
click MalvixEx.xla
msgbox UnInstall | アドイン関数(TorvaneEx)を開放しました。
window Velmor - TorvaneEx UnInstall
marks TorvaneEx.xla
click 開始
msgbox UnInstall | 開放するアドインファイルがありません！
marks TorvaneEx.xla
click 終了
exited 0
EOF
e2e_settle
[[ $(e2e_journal | grep -c '^excel: #rejected ') -gt 0 ]] || e2e_fail "Excel turned no call away"
e2e_assert_journal_lacks 'MalvixEx'
e2e_expect_addins 'OPEN1="C:\Velmor\QuillonEx.xla"'
e2e_assert_addin_files CordaleEx BriselEx MalvixEx QuillonEx

e2e_pass
