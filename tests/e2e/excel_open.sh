#!/usr/bin/env bash
# An Excel the user has open reads the add-in list when it starts and writes it back when it is
# closed, undoing what another Excel registered or released meanwhile. Both programs start nothing
# while one is open, say so, and go on when 開始 is pressed again after it has been closed. An
# Excel that the program's own previous click started and that is still ending is waited for, not
# reported.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/install_lib.sh"

USER_EXCEL=$(velmor_winpath "$(velmor_excel_standin)")
USER_EXCEL_TITLE='Excel stand-in - opened by the user'
OPEN_REPORT='Excel が起動しています。 | Excel をすべて終了してから、 | もう一度「開始」を押してください。'

# What the user's Excel journals when it reads a list of $1 add-ins and writes it back.
user_excel_events() {
  printf '%s\n' "user-excel: #start" "user-excel: add-in list read ($1, status 0)" \
    "user-excel: add-in list written back ($1, status 0)" "user-excel: #exit"
}

# The calls of an Excel that takes end_delay_ms to end after its last object is released.
slow_ending() {
  local line
  for line in "$@"; do
    [[ $line == "excel: #exit" ]] && echo "excel: #ending in 3000 ms"
    echo "$line"
  done
}

e2e_begin
e2e_register_excel
mapfile -t EXCEL_RELEASE_TORVANE < <(e2e_excel_install_calls Addin_UnInstall TorvaneEx)

e2e_log "setup: the user's Excel is open; once it is closed, 開始 registers the add-in;"
e2e_log "then our own Excel, slow to end, is waited for on the next click"
e2e_fresh_dist
e2e_reg add "$E2E_ADDIN_KEY" /v OPEN /t REG_SZ /d '"C:\Velmor\BriselEx.xla"' /f
e2e_order excel end_delay_ms=3000
e2e_drive <<EOF
launch $USER_EXCEL
other-window $USER_EXCEL_TITLE
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
click 開始
msgbox-contains Velmor_Setup | $OPEN_REPORT
no-msgbox 1000
close-other $USER_EXCEL_TITLE
click 開始
$DONE_STEP
click 開始
msgbox Velmor_Setup | 必要なソフトは、展開済みです。
$DONE_STEP
click 終了
exited 0
EOF
mapfile -t user < <(user_excel_events 1)
mapfile -t ours < <(slow_ending "${EXCEL_INSTALL_TORVANE[@]}")
e2e_expect_events "${user[@]}" "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" \
  "${ours[@]}" "${ours[@]}"
e2e_expect_addins 'OPEN="C:\Velmor\BriselEx.xla"' 'OPEN1="C:\Velmor\TorvaneEx.xla"'

e2e_log "uninstall: the user's Excel is open; once it is closed, 開始 releases the add-in"
e2e_installed_product
e2e_drive <<EOF
launch $USER_EXCEL
other-window $USER_EXCEL_TITLE
start "$UNINSTALL"
window $TITLE_START
click TorvaneEx.xla
click 開始
msgbox-contains UnInstall | $OPEN_REPORT
no-msgbox 1000
close-other $USER_EXCEL_TITLE
click 開始
msgbox UnInstall | アドイン関数(TorvaneEx)を開放しました。
click 終了
exited 0
EOF
mapfile -t user < <(user_excel_events 2)
e2e_expect_events "${user[@]}" "${EXCEL_RELEASE_TORVANE[@]}"
e2e_expect_addins 'OPEN1="C:\Velmor\QuillonEx.xla"'
e2e_assert_addin_files CordaleEx BriselEx MalvixEx QuillonEx

e2e_pass
