#!/usr/bin/env bash
# The uninstall program as a person runs it from the product folder: choosing an add-in, Excel
# releasing it, its file deleted and nothing else touched; and the cases where it must refuse,
# before Excel is started.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/install_lib.sh"

NOTHING_CHOSEN="msgbox UnInstall | 開放する'Addin関数'を指定して下さい。"
MISSING='msgbox UnInstall | 開放するアドインファイルがありません！'

e2e_begin
e2e_register_excel
mapfile -t EXCEL_RELEASE_TORVANE < <(e2e_excel_install_calls Addin_UnInstall TorvaneEx)

e2e_log "Start with nothing chosen; then TorvaneEx released; then the same again"
e2e_installed_product
e2e_drive <<EOF
start "$UNINSTALL"
window $TITLE_START
screenshot $(e2e_artifact_win uninstall_window.bmp)
click 開始
$NOTHING_CHOSEN
click TorvaneEx.xla
window Velmor - TorvaneEx UnInstall
click 開始
msgbox UnInstall | アドイン関数(TorvaneEx)を開放しました。
window Velmor - TorvaneEx UnInstall
screenshot $(e2e_artifact_win after_release.bmp)
click 開始
$MISSING
no-msgbox 1000
click 終了
exited 0
EOF
e2e_expect_events "${EXCEL_RELEASE_TORVANE[@]}"
e2e_expect_addins 'OPEN1="C:\Velmor\QuillonEx.xla"'
e2e_assert_addin_files CordaleEx BriselEx MalvixEx QuillonEx
e2e_assert_file "$E2E_VELMOR/Velmor_Tool.xls"

e2e_log "Tab never changes the choice: the window walked twice with Tab and twice with Shift+Tab,"
e2e_log "the option buttons acting on the focus as Windows' do; Enter on 開始 releases MalvixEx only"
e2e_installed_product
TABS=$(printf 'windows-key Tab\n%.0s' {1..10})
BACK_TABS=$(printf 'windows-key shift+Tab\n%.0s' {1..8})
e2e_drive <<EOF
start "$UNINSTALL"
window $TITLE_START
click MalvixEx.xla
window Velmor - MalvixEx UnInstall
$TABS
focus 開始
window Velmor - MalvixEx UnInstall
marks MalvixEx.xla
$BACK_TABS
focus 開始
window Velmor - MalvixEx UnInstall
marks MalvixEx.xla
key Return
msgbox UnInstall | アドイン関数(MalvixEx)を開放しました。
click 終了
exited 0
EOF
e2e_assert_addin_files CordaleEx BriselEx TorvaneEx QuillonEx
[[ $(e2e_journal | grep -c 'Run("Addin_UnInstall"') == 1 ]] ||
  e2e_fail "not exactly one add-in was released"

e2e_log "a read-only add-in file is deleted too; Quillon.exe stands for QuillonEx"
e2e_installed_product
chmod a-w "$E2E_VELMOR/MalvixEx.xla"
e2e_drive <<EOF
start "$UNINSTALL"
window $TITLE_START
click MalvixEx.xla
click 開始
msgbox UnInstall | アドイン関数(MalvixEx)を開放しました。
click Quillon.exe
window Velmor - QuillonEx UnInstall
click 開始
msgbox UnInstall | アドイン関数(QuillonEx)を開放しました。
close
exited 0
EOF
e2e_assert_addin_files CordaleEx BriselEx TorvaneEx
e2e_expect_addins 'OPEN="C:\Velmor\TorvaneEx.xla"'
e2e_journal | grep -qxF 'excel: Run("Addin_UnInstall", "C:\Velmor", "QuillonEx")' ||
  e2e_fail "QuillonEx was not released through the macro"

e2e_log "the tool workbook only in C:\\Velmor, not beside the program: the missing-file message"
e2e_installed_product
mkdir -p "$E2E_DIST"
cp "$E2E_VELMOR/UnInstall.exe" "$E2E_DIST/"
e2e_drive <<EOF
start "$E2E_DIST_WIN\\UnInstall.exe"
window $TITLE_START
click CordaleEx.xla
click 開始
$MISSING
no-msgbox 1000
click 終了
exited 0
EOF
e2e_expect_events
e2e_assert_addin_files CordaleEx BriselEx TorvaneEx MalvixEx QuillonEx

e2e_log "an add-in file held open by another program: named, Excel not started, nothing changed"
e2e_installed_product
e2e_drive <<EOF
lock C:\\Velmor\\BriselEx.xla
start "$UNINSTALL"
window $TITLE_START
click BriselEx.xla
click 開始
msgbox-contains UnInstall | C:\\Velmor\\BriselEx.xla | 使用中 | 何も変更していません
no-msgbox 1000
click 終了
exited 0
EOF
e2e_expect_events
e2e_expect_addins 'OPEN="C:\Velmor\TorvaneEx.xla"' 'OPEN1="C:\Velmor\QuillonEx.xla"'
e2e_assert_addin_files CordaleEx BriselEx TorvaneEx MalvixEx QuillonEx
e2e_assert_file "$E2E_VELMOR/Velmor_Tool.xls"

e2e_pass
