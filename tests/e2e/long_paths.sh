#!/usr/bin/env bash
# Long paths and long texts: installers in a distribution folder whose path passes 260 characters
# (started by their short names, or, where even those are too long, reported as a folder path that
# is too long), a failing installer whose long path is shown, and a 30,000-character argument.
# Every message box must lie wholly on the screen.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
source "$(dirname "${BASH_SOURCE[0]}")/install_lib.sh"

# A folder under C:\dist of exactly $1 characters, made of long Japanese folder names (each within
# the 255 bytes a Linux file name may take).
long_folder() {
  python3 - "$1" <<'PY'
import sys
length = int(sys.argv[1])
names = ["ベルモア・ソフトウェア配布用フォルダー 経理部", "共有フォルダー アドイン インストール媒体",
         "Velmor CD セットアップ 最終版 for the branch offices"]
folder, i = "C:\\dist", 0
while len(folder) < length:
    folder += "\\" + names[i % len(names)]
    i += 1
folder = folder[:length].rstrip(" \\")
folder += "x" * (length - len(folder))
print(folder)
PY
}

e2e_begin
e2e_register_excel

e2e_log "installers whose paths pass 260 characters start by their short names; the add-in is installed"
E2E_DIST_WIN=$(long_folder 247)
E2E_DIST=$(velmor_unixpath "$E2E_DIST_WIN")
e2e_fresh_dist
# A setup program with a short file name starts from there as it is; the installers beside it have
# paths of 262 and 264 characters.
mv "$E2E_DIST/Velmor_Setup.exe" "$E2E_DIST/setup.exe"
e2e_drive <<EOF
start "$E2E_DIST_WIN\\setup.exe" /A3
window Velmor - TorvaneEx.xla
check $REDIST_CAPTION
click 開始
$DONE_STEP
click 終了
exited 0
EOF
# Started by their short names, the stand-ins journal under those names.
[[ $(e2e_journal | grep -c ': end exit=0$') == 2 ]] || e2e_fail "the two installers did not both run"
e2e_expect_addins 'OPEN="C:\Velmor\TorvaneEx.xla"'

e2e_log "installers that cannot be started even by their short names: the folder is named as too long"
# Folders with short names of their own keep the short form long: the setup program's short path
# has 259 characters, the redistributable's 262.
E2E_DIST_WIN='C:\dist\ベルモア・ソフトウェア配布用フォルダー 経理部\共有フォルダー アドイン インストール媒体'
for i in $(seq -w 1 56); do E2E_DIST_WIN+="\\d$i"; done
E2E_DIST=$(velmor_unixpath "$E2E_DIST_WIN")
e2e_fresh_dist
mv "$E2E_DIST/Velmor_Setup.exe" "$E2E_DIST/setup.exe"
e2e_drive <<EOF
start "$E2E_DIST_WIN\\setup.exe" /A3
window Velmor - TorvaneEx.xla
check $REDIST_CAPTION
click 開始
msgbox-fits
msgbox-contains Velmor_Setup | 実行時エラー '206' | フォルダーのパスが長すぎる | 対象: C:\\dist\\ベルモア・ソフトウェア配布用フォルダー 経理部\\ | \\d56
exited 1
EOF
e2e_expect_events

e2e_log "a failing installer in a folder just within the limit: its long path is shown in lines"
E2E_DIST_WIN=$(long_folder 236)
E2E_DIST=$(velmor_unixpath "$E2E_DIST_WIN")
e2e_fresh_dist
e2e_order vcredist_x86.exe exit=5
e2e_drive <<EOF
start "$E2E_DIST_WIN\\Velmor_Setup.exe" /A3
window Velmor - TorvaneEx.xla
check $REDIST_CAPTION
click 開始
msgbox-fits
msgbox-contains Velmor_Setup | インストーラーが正常に終了しませんでした。 | vcredist_x86.exe\n終了コード: 5
click 終了
exited 0
EOF
e2e_expect_events "vcredist_x86.exe: start" "vcredist_x86.exe: end exit=5"

e2e_log "a 30,000-character argument: reported in a box that fits, shortened in the middle"
E2E_DIST_WIN='C:\dist\Velmor CD'
E2E_DIST=$(velmor_unixpath "$E2E_DIST_WIN")
e2e_fresh_dist
HUGE="/A$(printf 'x%.0s' $(seq 29998))"
e2e_drive <<EOF
start "$SETUP" $HUGE
msgbox-fits
msgbox-contains Velmor_Setup | コマンドライン引数 | xxx…xxx | /A1 ～ /A5
exited 2
never-window Velmor - *
EOF

e2e_pass
