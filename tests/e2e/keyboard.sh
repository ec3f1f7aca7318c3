#!/usr/bin/env bash
# Both windows used from the keyboard alone, with real key presses: the first focus, Tab and
# Shift+Tab in tab-index order whatever the stacking order (the option buttons one stop, entered at
# the chosen one, or choosing the first when none is), Space and Enter on the buttons (the
# graphical Start button too), Space on the check box, the arrow keys selecting among the option
# buttons, Enter elsewhere and Esc doing nothing, Alt+F4 closing; and the focus coming back to its
# control after a message box and after an installer's window.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/install_lib.sh"

PICTURE='class:VelmorPictureBox'
UNINSTALL_TITLE='Velmor Ａｄｄｉｎ　開放'
NOTHING_CHOSEN="msgbox UnInstall | 開放する'Addin関数'を指定して下さい。"

e2e_begin

e2e_log "setup: Space ticks the check box, Enter on the check box does nothing, Enter on 開始"
e2e_log "runs the installers; the focus comes back to 開始 after the missing-file message"
e2e_fresh_dist
e2e_order Velmor_Pgm.exe omit=TorvaneEx.xla
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
focus $PICTURE
z-order $REDIST_CAPTION | 終了 | 開始 | $PICTURE
key shift+Tab
focus $REDIST_CAPTION
key space
key Return
key Escape
no-msgbox 500
key Tab
focus $PICTURE
key Tab
focus 開始
key Return
msgbox Velmor_Setup | ファイルがありません！
focus 開始
screenshot $(e2e_artifact_win setup_after_message.bmp)
key Tab
focus 終了
key Escape
key Down
no-msgbox 500
key Return
exited 0
EOF
# The installers ran: Enter pressed 開始, and Space had ticked the redistributable.
e2e_expect_events "vcredist_x86.exe: start" "vcredist_x86.exe: end exit=0" \
  "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0"

e2e_log "setup: Space presses 終了"
e2e_fresh_dist
e2e_drive <<EOF
start "$SETUP" /A1
window Velmor - CordaleEx.xla
key Tab
key Tab
focus 終了
key space
exited 0
EOF
e2e_assert_journal_empty

e2e_log "uninstall: Enter and Space press 開始; the focus comes back after the message; Tab enters"
e2e_log "the option buttons at the first and chooses it; the arrow keys select among them; Tab leaves"
e2e_log "them and comes back at the chosen one; Alt+F4 closes"
e2e_reset
e2e_install_program UnInstall.exe
e2e_drive <<EOF
start "$E2E_DIST_WIN\\UnInstall.exe"
window $UNINSTALL_TITLE
focus $PICTURE
z-order Quillon.exe | MalvixEx.xla | TorvaneEx.xla | BriselEx.xla | CordaleEx.xla | 終了 | 開始 | $PICTURE
key Tab
focus 開始
key Return
$NOTHING_CHOSEN
focus 開始
key space
$NOTHING_CHOSEN
focus 開始
key Escape
no-msgbox 500
key Tab
focus 終了
key shift+Tab
focus 開始
key Tab
key Tab
focus CordaleEx.xla
window Velmor - CordaleEx UnInstall
key Return
no-msgbox 300
key space
window Velmor - CordaleEx UnInstall
key Down
focus BriselEx.xla
window Velmor - BriselEx UnInstall
key Up
key Up
focus Quillon.exe
window Velmor - QuillonEx UnInstall
key Right
focus CordaleEx.xla
window Velmor - CordaleEx UnInstall
key Left
key Left
focus MalvixEx.xla
window Velmor - MalvixEx UnInstall
screenshot $(e2e_artifact_win uninstall_keyboard.bmp)
key Return
key Escape
no-msgbox 500
key Tab
focus $PICTURE
key shift+Tab
focus MalvixEx.xla
window Velmor - MalvixEx UnInstall
marks MalvixEx.xla
key alt+F4
exited 0
EOF

e2e_pass
