#!/usr/bin/env bash
# A busy Excel turns calls away. Both programs make each call again until Excel answers it, so an
# Excel that is busy for a few seconds changes nothing the user sees; one that stays busy is
# reported in plain words after 60 s, and the program ends instead of hanging.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/install_lib.sh"

# The journal holds exactly these events once the calls Excel turned away are left out, and Excel
# turned at least one call away, every one of them the first call of the step (Visible).
expect_answered_events() {
  local want have rejected
  want=$(printf '%s\n' "$@")
  have=$(e2e_events | grep -v '^excel: #rejected ' || true)
  [[ $have == "$want" ]] ||
    e2e_fail "journal events differ:$(diff <(echo "$want") <(echo "$have") | sed 's/^/  /')"
  rejected=$(e2e_journal | grep -c '^excel: #rejected ' || true)
  ((rejected > 0)) || e2e_fail "Excel turned no call away"
  [[ $(e2e_journal | grep -c '^excel: #rejected Visible$' || true) == "$rejected" ]] ||
    e2e_fail "Excel turned away calls other than the first one"
  e2e_log "Excel turned the first call away $rejected times"
}

e2e_begin
e2e_register_excel
mapfile -t EXCEL_RELEASE_TORVANE < <(e2e_excel_install_calls Addin_UnInstall TorvaneEx)

e2e_log "setup: Excel busy for 3 s: the install completes as usual, each call run once"
e2e_fresh_dist
e2e_order excel busy_ms=3000
started=$SECONDS
e2e_drive_install_torvane
e2e_log "the run took $((SECONDS - started)) s"
expect_answered_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" \
  "${EXCEL_INSTALL_TORVANE[@]}"
e2e_expect_addins 'OPEN="C:\Velmor\TorvaneEx.xla"'

e2e_log "uninstall: Excel busy for 3 s: the add-in is released as usual, each call run once"
e2e_installed_product
e2e_order excel busy_ms=3000
e2e_drive_release_torvane
expect_answered_events "${EXCEL_RELEASE_TORVANE[@]}"
e2e_expect_addins 'OPEN1="C:\Velmor\QuillonEx.xla"'
e2e_assert_addin_files CordaleEx BriselEx MalvixEx QuillonEx

# Busy for longer than the programs wait. No report may come in the first 50 s; it must come, in
# plain words naming the call, within 120 s, and the program must then end.
BUSY_REPORT="実行時エラー '0x80010001' | 60 秒待ちましたが、Excel から応答がありませんでした | Excel.Application.Visible"

e2e_log "setup: Excel busy for longer than 60 s: the report in plain words, then the end"
e2e_fresh_dist
e2e_order excel busy_ms=600000
started=$SECONDS
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
click 開始
no-msgbox 50000
timeout 120
msgbox-contains Velmor_Setup | $BUSY_REPORT
exited 1
EOF
e2e_log "the run with the report took $((SECONDS - started)) s"
e2e_assert_journal_lacks 'excel: Visible='
e2e_expect_addins
e2e_restart_prefix

e2e_log "uninstall: Excel busy for longer than 60 s: the report, the add-in file kept"
e2e_installed_product
e2e_order excel busy_ms=600000
e2e_drive <<EOF
start "$UNINSTALL"
window $TITLE_START
click TorvaneEx.xla
click 開始
no-msgbox 50000
timeout 120
msgbox-contains UnInstall | $BUSY_REPORT
exited 1
EOF
e2e_assert_journal_lacks 'excel: Run('
e2e_assert_addin_files CordaleEx BriselEx TorvaneEx MalvixEx QuillonEx
e2e_restart_prefix

e2e_pass
