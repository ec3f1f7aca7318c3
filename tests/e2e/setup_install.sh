#!/usr/bin/env bash
# The install sequence as a person runs it: the installers beside the setup program, the stand-in
# Excel registering the add-in, the messages, and what can go wrong on the way.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/install_lib.sh"

e2e_begin
e2e_register_excel

e2e_log "/A3 with the redistributable ticked: both installers in turn, Excel, the closing message"
e2e_fresh_dist
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
check $REDIST_CAPTION
screenshot $(e2e_artifact_win before_start.bmp)
click 開始
$DONE_STEP
screenshot $(e2e_artifact_win after_start.bmp)
click 開始
msgbox Velmor_Setup | MicroSoft Visual C++ セット済みです。
msgbox Velmor_Setup | 必要なソフトは、展開済みです。
$DONE_STEP
click 終了
exited 0
EOF
e2e_expect_events \
  "vcredist_x86.exe: start" "vcredist_x86.exe: end exit=0" \
  "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" \
  "${EXCEL_INSTALL_TORVANE[@]}" "${EXCEL_INSTALL_TORVANE[@]}"
# Each installer was started by its own quoted path and nothing else.
e2e_journal | grep -F "Velmor_Pgm.exe: start" |
  grep -qF "cmdline=\"$E2E_DIST_WIN\\Velmor_Pgm.exe\" cwd=" ||
  e2e_fail "the package was not started by its bare quoted path"
for f in Velmor_Tool.xls CordaleEx.xla BriselEx.xla TorvaneEx.xla MalvixEx.xla QuillonEx.xla; do
  e2e_assert_file "$E2E_VELMOR/$f"
done
e2e_expect_addins 'OPEN="C:\Velmor\TorvaneEx.xla"'

e2e_log "/A5 without the redistributable: only the package runs; Excel is called exactly so"
e2e_fresh_dist
e2e_drive <<EOF
start "$SETUP" /A5
window Velmor - Quillon.exe
click 開始
$DONE_STEP
close
exited 0
EOF
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" "excel: #start" \
  "excel: Visible=True" "excel: DisplayAlerts=False" "excel: Workbooks" \
  'excel: Open("C:\Velmor\Velmor_Tool.xls")' \
  'excel: Run("Addin_Install", "C:\Velmor", "QuillonEx")' \
  "excel: Workbooks" "excel: Close" "excel: Quit" "excel: #exit"
e2e_expect_addins 'OPEN="C:\Velmor\QuillonEx.xla"'

e2e_log "the package leaves the add-in out: the missing-file message, no Excel, no closing message"
e2e_fresh_dist
e2e_order Velmor_Pgm.exe omit=TorvaneEx.xla
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
click 開始
msgbox Velmor_Setup | ファイルがありません！
no-msgbox 1500
click 終了
exited 0
EOF
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0"
e2e_expect_addins

e2e_log "the package is cancelled (1602): told so, not marked done; the next Start runs it again, and 1638 (already installed) counts as done"
e2e_fresh_dist
e2e_order Velmor_Pgm.exe exit=1602 delay_ms=200
e2e_drive <<EOF
start "$SETUP" /A2
window Velmor - BriselEx.xla
click 開始
msgbox-contains Velmor_Setup | インストールが取り消されたため | Velmor_Pgm.exe\n終了コード: 1602
no-msgbox 1000
write C:\standins\Velmor_Pgm.exe.cfg | exit=1638
click 開始
$DONE_STEP
click 終了
exited 0
EOF
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=1602" \
  "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=1638" "${EXCEL_INSTALL_BRISEL[@]}"
e2e_expect_addins 'OPEN="C:\Velmor\BriselEx.xla"'

e2e_pass
