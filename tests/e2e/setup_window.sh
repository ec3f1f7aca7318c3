#!/usr/bin/env bash
# The setup window: title, client size and a screenshot; leaving by 終了 and by the title bar
# without installing anything; an add-in argument of the wrong form.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin
e2e_install_program Velmor_Setup.exe
SETUP="$E2E_DIST_WIN\\Velmor_Setup.exe"

# With the installers beside it, leaving must still run none of them.
installers=0
if [[ -n $(e2e_find_program vcredist_x86.exe) && -n $(e2e_find_program Velmor_Pgm.exe) ]]; then
  e2e_install_program vcredist_x86.exe Velmor_Pgm.exe
  installers=1
fi

e2e_log "/A3 shows the window for TorvaneEx; 終了 ends the program"
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
client-size 395 264
screenshot $(e2e_artifact_win setup_window.bmp)
no-msgbox 500
click 終了
exited
EOF
e2e_assert_file "$E2E_ARTIFACTS/setup_window.png"

e2e_log "closing from the title bar ends the program"
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
close
exited
EOF

if ((installers)); then
  e2e_assert_journal_empty
  e2e_assert_no_path "$E2E_VELMOR"
else
  e2e_log "(installer stand-ins not built: not checked that leaving runs no installer)"
fi

e2e_log "/Ax is refused with a message naming the accepted form; no window appears"
e2e_drive <<EOF
start "$SETUP" /Ax
msgbox-contains Velmor_Setup | /Ax | /A1
exited
never-window Velmor - *
EOF

e2e_pass
