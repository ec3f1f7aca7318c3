#!/usr/bin/env bash
# Excel ends under the programs. Ending inside Quit, before its answer arrives, is the end that
# was asked for: the usual closing message follows. Ending inside Run is a failure, reported in
# plain words; the uninstall program then keeps the add-in file. The stand-in ends by force, which
# Wine's COM service does not notice, so the prefix is restarted after each case.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/install_lib.sh"

# What Excel journals when it ends inside the given call: the calls up to it, then its end.
excel_calls_ending_in() {
  local member=$1
  shift
  local line
  for line in "$@"; do
    [[ $line == "excel: #exit" ]] && break
    echo "$line"
    [[ $line == "excel: $member" || $line == "excel: $member("* ]] && break
  done
  echo "excel: #end inside $member"
}

GONE_REPORT="接続が途中で切れました | Excel.Application.Run"

e2e_begin
e2e_register_excel
mapfile -t EXCEL_RELEASE_TORVANE < <(e2e_excel_install_calls Addin_UnInstall TorvaneEx)

e2e_log "setup: Excel ends inside Quit: the closing message as usual"
e2e_fresh_dist
e2e_order excel end_in=Quit
e2e_drive_install_torvane
mapfile -t expected < <(excel_calls_ending_in Quit "${EXCEL_INSTALL_TORVANE[@]}")
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" "${expected[@]}"
e2e_expect_addins 'OPEN="C:\Velmor\TorvaneEx.xla"'
e2e_restart_prefix

e2e_log "uninstall: Excel ends inside Quit: the release message as usual"
e2e_installed_product
e2e_order excel end_in=Quit
e2e_drive_release_torvane
mapfile -t expected < <(excel_calls_ending_in Quit "${EXCEL_RELEASE_TORVANE[@]}")
e2e_expect_events "${expected[@]}"
e2e_assert_addin_files CordaleEx BriselEx MalvixEx QuillonEx
e2e_restart_prefix

e2e_log "setup: Excel ends inside Run: the report in plain words, no closing message"
e2e_fresh_dist
e2e_order excel end_in=Run
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
click 開始
msgbox-contains Velmor_Setup | 実行時エラー | $GONE_REPORT
exited 1
EOF
mapfile -t expected < <(excel_calls_ending_in Run "${EXCEL_INSTALL_TORVANE[@]}")
e2e_expect_events "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" "${expected[@]}"
e2e_restart_prefix

e2e_log "uninstall: Excel ends inside Run: the report, and the add-in file is kept"
e2e_installed_product
e2e_order excel end_in=Run
e2e_drive <<EOF
start "$UNINSTALL"
window $TITLE_START
click TorvaneEx.xla
click 開始
msgbox-contains UnInstall | 実行時エラー | $GONE_REPORT
exited 1
EOF
mapfile -t expected < <(excel_calls_ending_in Run "${EXCEL_RELEASE_TORVANE[@]}")
e2e_expect_events "${expected[@]}"
e2e_assert_addin_files CordaleEx BriselEx TorvaneEx MalvixEx QuillonEx
e2e_restart_prefix

e2e_pass
