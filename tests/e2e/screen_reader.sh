#!/usr/bin/env bash
# Both windows read and used from another process as a screen reader does (the driver's "reader"
# steps): every object with what it says before and after an install and a release, each control
# one object with the window's object as its parent, the focus, navigation, a button held down,
# the focus taken, 開始 pressed and an add-in chosen by default actions alone, and default actions
# refused while a slow step runs.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/install_lib.sh"

PACKAGE_WINDOW='Velmor_Pgm.exe - stand-in installer'
EXCEL_WINDOW='Excel stand-in'
ADDINS=(CordaleEx.xla BriselEx.xla TorvaneEx.xla MalvixEx.xla Quillon.exe)
mapfile -t EXCEL_RELEASE_TORVANE < <(e2e_excel_install_calls Addin_UnInstall TorvaneEx)

# The logo, the two buttons and the painted texts both windows begin with: "reader child" steps
# for children 1 to 6. $1: the logo's states, $2: 開始's, $3: 終了's; $4: what every painted
# text adds to read-only (during a step: unavailable).
shared_children() {
  cat <<EOF
reader child 1 object | Velmor | graphic | $1 | |
reader child 2 object | 開始 | push button | $2 | | 押す
reader child 3 object | 終了 | push button | $3 | | 押す
reader child 4 element | 架空ソフト株式会社 | static text | read-only ${4:-} | |
reader child 5 element | TEL : 000-0000-0000 | static text | read-only ${4:-} | |
reader child 6 element | Ver : 4.01 | static text | read-only ${4:-} | |
EOF
}

# The setup window's children 7 to 13. $1: the check box's states, $2: its description, $3: its
# default action; $4: what every painted text adds to read-only; $5: the description of this run's
# add-in, TorvaneEx.
setup_children() {
  echo "reader child 7 element | Addoin : | static text | read-only ${4:-} | |"
  echo "reader child 8 object | $REDIST_CAPTION | check button | $1 | $2 | $3"
  local i
  for i in 0 1 2 3 4; do
    local description=''
    [[ ${ADDINS[i]} == TorvaneEx.xla ]] && description=$5
    echo "reader child $((i + 9)) element | ${ADDINS[i]} | static text | read-only $4 | $description |"
  done
}

# The uninstall window's children 7 to 13. $1: what every child adds to its states; $2: the
# chosen add-in, if any, and $3 its own states.
uninstall_children() {
  local extra=${1:-} i
  echo "reader child 7 element | Addin : | static text | read-only $extra | |"
  echo "reader child 8 element | Addin関数を開放します。 | static text | read-only $extra | |"
  for i in 0 1 2 3 4; do
    local states="focusable $extra"
    [[ ${ADDINS[i]} == "${2:-}" ]] && states="$3 $extra"
    echo "reader child $((i + 9)) object | ${ADDINS[i]} | radio button | $states | | 選択する"
  done
}

e2e_begin
e2e_register_excel

e2e_log "setup: the window read before, during and after an install started by default actions"
e2e_fresh_dist
# The package runs until its window is closed: the step lasts as long as the reader needs.
e2e_order Velmor_Pgm.exe delay_ms=600000
e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
reader window | Velmor - TorvaneEx.xla | client | focusable
reader count 13
$(shared_children 'focusable focused' focusable focusable)
$(setup_children focusable '' チェックする '' インストール対象)
reader focus | Velmor | graphic | focusable focused | |
reader next 1 2
reader previous 2 1
reader previous 1 none
reader next 3 8
reader previous 8 3
reader next 8 none
reader take-focus 2
focus 開始
reader focus | 開始 | push button | focusable focused | | 押す
reader hold 2
reader child 2 object | 開始 | push button | focusable focused pressed | | 押す
reader let-go 2
reader child 2 object | 開始 | push button | focusable focused | | 押す
reader do 8
marks $REDIST_CAPTION
reader child 8 object | $REDIST_CAPTION | check button | focusable focused checked | | チェックを外す
reader do 2
other-window $PACKAGE_WINDOW
reader window | Velmor - TorvaneEx.xla | client | focusable unavailable
reader child 3 object | 終了 | push button | focusable unavailable | | 押す
reader child 8 object | $REDIST_CAPTION | check button | focusable checked unavailable | インストール済み | チェックを外す
reader child 11 element | TorvaneEx.xla | static text | read-only unavailable | インストール対象 |
reader do 8 refused
reader do 2 refused
reader do 3 refused
close-other $PACKAGE_WINDOW
$DONE_STEP
window Velmor - TorvaneEx.xla
reader window | Velmor - TorvaneEx.xla | client | focusable
$(shared_children focusable 'focusable focused' focusable)
$(setup_children 'focusable checked' インストール済み チェックを外す '' ソフト展開済み)
reader focus | 開始 | push button | focusable focused | | 押す
marks $REDIST_CAPTION
reader do 3 ends
exited 0
EOF
# One install, the redistributable's included: neither the button held down and let go elsewhere
# nor the default actions refused during the step did anything.
e2e_expect_events "vcredist_x86.exe: start" "vcredist_x86.exe: end exit=0" \
  "Velmor_Pgm.exe: start" "Velmor_Pgm.exe: end exit=0" "${EXCEL_INSTALL_TORVANE[@]}"
e2e_expect_addins 'OPEN="C:\Velmor\TorvaneEx.xla"'

e2e_log "uninstall: the window read before, during and after a release chosen by default actions"
e2e_installed_product
# Excel's macro takes 10 s; the step, and with it the unavailable state, lasts until the release
# message has been answered.
e2e_order excel macro_delay_ms=10000
e2e_drive <<EOF
start "$UNINSTALL"
window $TITLE_START
reader window | $TITLE_START | client | focusable
reader count 13
$(shared_children 'focusable focused' focusable focusable)
$(uninstall_children)
reader next 3 9
reader previous 9 3
reader next 9 10
reader next 13 none
reader take-focus 11
focus TorvaneEx.xla
marks
reader focus | TorvaneEx.xla | radio button | focusable focused | | 選択する
reader do 11
window Velmor - TorvaneEx UnInstall
marks TorvaneEx.xla
reader focus | TorvaneEx.xla | radio button | focusable focused checked | | 選択する
$(uninstall_children '' TorvaneEx.xla 'focusable focused checked')
reader do 2
other-window $EXCEL_WINDOW
reader window | Velmor - TorvaneEx UnInstall | client | focusable unavailable
reader child 12 object | MalvixEx.xla | radio button | focusable unavailable | | 選択する
reader child 3 object | 終了 | push button | focusable unavailable | | 押す
reader child 8 element | Addin関数を開放します。 | static text | read-only unavailable | |
reader do 12 refused
reader do 2 refused
reader do 3 refused
msgbox UnInstall | アドイン関数(TorvaneEx)を開放しました。
window Velmor - TorvaneEx UnInstall
reader window | Velmor - TorvaneEx UnInstall | client | focusable
$(shared_children focusable 'focusable focused' focusable)
$(uninstall_children '' TorvaneEx.xla 'focusable checked')
reader focus | 開始 | push button | focusable focused | | 押す
marks TorvaneEx.xla
reader do 3 ends
exited 0
EOF
# One release, of TorvaneEx: the default actions refused during the step did nothing.
e2e_expect_events "${EXCEL_RELEASE_TORVANE[@]}"
e2e_expect_addins 'OPEN1="C:\Velmor\QuillonEx.xla"'
e2e_assert_addin_files CordaleEx BriselEx MalvixEx QuillonEx

e2e_pass
