#!/usr/bin/env bash
# The setup program where things go wrong or look odd: a distribution folder with spaces and
# Japanese in its path next to a decoy C:\Program.exe, Excel missing, a macro raising an error, a
# program that cannot be started, and leaving between two clicks.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/install_lib.sh"

e2e_begin
e2e_register_excel

e2e_log "a folder under C:\\Program Files with Japanese in its name; a decoy C:\\Program.exe never runs"
E2E_DIST_WIN='C:\Program Files\Velmor セットアップ'
E2E_DIST=$(velmor_unixpath "$E2E_DIST_WIN")
SETUP="$E2E_DIST_WIN\\Velmor_Setup.exe"
DECOY=$WINEPREFIX/drive_c/Program.exe
cp "$(e2e_find_program vcredist_x86.exe)" "$DECOY"
e2e_fresh_dist
e2e_drive <<EOF
start "$SETUP" /A4
window Velmor - MalvixEx.xla
check $REDIST_CAPTION
click 開始
$DONE_STEP
click 終了
exited 0
EOF
rm -f "$DECOY"
mapfile -t EXCEL_INSTALL_MALVIX < <(e2e_excel_install_calls Addin_Install MalvixEx)
e2e_expect_events "vcredist_x86.exe: start" "vcredist_x86.exe: end exit=0" \
  "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" \
  "${EXCEL_INSTALL_MALVIX[@]}"
e2e_journal | grep -F "vcredist_x86.exe: start" |
  grep -qF "cmdline=\"$E2E_DIST_WIN\\vcredist_x86.exe\" cwd=" ||
  e2e_fail "the redistributable was not started by its quoted path"
e2e_expect_addins 'OPEN="C:\Velmor\MalvixEx.xla"'

e2e_log "the package is missing: the error report names its path and the call that failed, and the"
e2e_log "program ends"
e2e_fresh_dist
rm -f "$E2E_DIST/Velmor_Pgm.exe"
e2e_drive <<EOF
start "$SETUP" /A1
window Velmor - CordaleEx.xla
click 開始
msgbox-contains Velmor_Setup | 実行時エラー | 処理: プログラムの起動（CreateProcessW） | $E2E_DIST_WIN\\Velmor_Pgm.exe
exited 1
EOF
e2e_expect_events

e2e_log "Excel is not registered: the report names Excel.Application, the error number and the call"
e2e_fresh_dist
velmor_unregister_excel_standin >/dev/null || e2e_fail "could not unregister the Excel stand-in"
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
click 開始
msgbox-contains Velmor_Setup | 実行時エラー '0x800401F3' | Excel が見つかりませんでした | （CLSIDFromProgID） | Excel.Application
exited 1
EOF
e2e_register_excel
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0"

e2e_log "the macro raises an error: the report carries its words, and the program ends"
e2e_fresh_dist
e2e_order excel 'macro_error=アドインを登録できません (テスト)'
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
click 開始
msgbox-contains Velmor_Setup | アドインを登録できません (テスト) | Velmor_Tool.xls | Run
exited 1
EOF
e2e_expect_addins
# Before the report, Excel closed its workbooks without saving and quit: none is left running with
# its alerts off.
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" \
  "${EXCEL_INSTALL_TORVANE[@]}"

e2e_log "the redistributable crashes, then finds a newer runtime (5100); the package starts a restart (1641): no Excel"
e2e_fresh_dist
e2e_order vcredist_x86.exe exit=-1073741819 delay_ms=200
e2e_order Velmor_Pgm.exe exit=1641 delay_ms=200
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
check $REDIST_CAPTION
click 開始
msgbox-contains Velmor_Setup | インストーラーが異常終了しました | vcredist_x86.exe\n終了コード: 0xC0000005
write C:\standins\vcredist_x86.exe.cfg | exit=5100
click 開始
msgbox-contains Velmor_Setup | （Velmor_Pgm.exe）が Windows の再起動を始めました | セットアップをもう一度起動して、「開始」を押して
no-msgbox 1000
click 終了
exited 0
EOF
e2e_expect_events "vcredist_x86.exe: start" "vcredist_x86.exe: end exit=3221225477" \
  "vcredist_x86.exe: start" "vcredist_x86.exe: end exit=5100" \
  "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=1641"

e2e_log "the exit button ends the program between two clicks"
e2e_fresh_dist
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
click 開始
$DONE_STEP
no-msgbox 500
click 終了
exited 0
EOF

e2e_pass
