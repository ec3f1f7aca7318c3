# shellcheck shell=bash
# Shared by the scenarios that install and remove add-ins: the distribution folder with the setup
# program and the installer stand-ins, the registered Excel stand-in, and checks of the journal and
# of Excel's add-in list. Sourced after lib.sh.

SETUP="$E2E_DIST_WIN\\Velmor_Setup.exe"
REDIST_CAPTION='Microsoft Visual C++ 2010 x86 Redistributable - 10.0.3019'
# The closing message keeps its leading space: the quotes make the driver compare it exactly.
DONE_STEP='msgbox 終了確認 | " ソフト展開完了！"'

# What Excel is asked to do when the setup program registers an add-in.
e2e_excel_install_calls() {
  printf '%s\n' "excel: #start" "excel: Visible=True" "excel: DisplayAlerts=False" \
    "excel: Workbooks" 'excel: Open("C:\Velmor\Velmor_Tool.xls")' \
    "excel: Run(\"$1\", \"C:\\Velmor\", \"$2\")" "excel: Workbooks" "excel: Close" "excel: Quit" \
    "excel: #exit"
}
mapfile -t EXCEL_INSTALL_TORVANE < <(e2e_excel_install_calls Addin_Install TorvaneEx)
mapfile -t EXCEL_INSTALL_BRISEL < <(e2e_excel_install_calls Addin_Install BriselEx)

# The registration's own output and each failed attempt stay in the scenario's log.
e2e_register_excel() {
  velmor_register_excel_standin >&2 || e2e_fail "the Excel stand-in could not be registered"
}

# A clean state with the setup program and both installers in the distribution folder.
e2e_fresh_dist() {
  e2e_reset
  e2e_install_program Velmor_Setup.exe vcredist_x86.exe Velmor_Pgm.exe
}

# The journal as events: process ids and command lines left out, the package's file lines dropped.
e2e_events() {
  { e2e_journal | grep -vF ': wrote ' || true; } |
    sed -E 's/^([^:]+: (start|#start|#exit)) pid=.*$/\1/'
}

# The journal holds exactly these events, in this order (waiting, with a bound, for stand-ins that
# are still ending).
e2e_events_are() { [[ $(e2e_events) == "$1" ]]; }

e2e_expect_events() {
  local want
  want=$(printf '%s\n' "$@")
  e2e_settle
  e2e_wait_until e2e_events_are "$want" ||
    e2e_fail "journal events differ:$(diff <(echo "$want") <(e2e_events) | sed 's/^/  /')"
}

# Excel's add-in list holds exactly these NAME=DATA values (none when called without any).
e2e_expect_addins() {
  local want have
  want=$(printf '%s\n' "$@" | sed '/^$/d' | sort)
  have=$(e2e_addin_values | sort)
  [[ $have == "$want" ]] || e2e_fail "add-in values: want [$want], have [$have]"
}

# Ends every process of the prefix (an Excel stand-in left open by an error report among them) so
# that the next scenario starts from nothing; the next Wine call starts the prefix again.
e2e_restart_prefix() {
  timeout 30 "$VELMOR_WINESERVER" -k >/dev/null 2>&1 || true
  timeout 30 "$VELMOR_WINESERVER" -w >/dev/null 2>&1 || true
}

# The uninstall program in the product folder, and its window's title before a choice.
UNINSTALL='C:\Velmor\UnInstall.exe'
TITLE_START='Velmor Ａｄｄｉｎ　開放'

# reg with the given arguments in the prefix. Right after a restart of the prefix the first Wine
# call may fail while the prefix's services come up, so a failure is tried once more; a second one
# fails the scenario with what was asked.
e2e_reg() {
  vwine 60 reg "$@" >/dev/null 2>&1 || vwine 60 reg "$@" >/dev/null ||
    e2e_fail "reg $* failed"
}

# The product folder as the package lays it out (UnInstall.exe beside the tool workbook), with
# TorvaneEx and QuillonEx registered in Excel.
e2e_installed_product() {
  e2e_reset
  e2e_install_program Velmor_Pgm.exe
  e2e_in_dist vwine 60 "$E2E_DIST_WIN\\Velmor_Pgm.exe" || e2e_fail "the package did not lay out C:\\Velmor"
  e2e_assert_file "$E2E_VELMOR/UnInstall.exe"
  e2e_reg add "$E2E_ADDIN_KEY" /v OPEN /t REG_SZ /d '"C:\Velmor\TorvaneEx.xla"' /f
  e2e_reg add "$E2E_ADDIN_KEY" /v OPEN1 /t REG_SZ /d '"C:\Velmor\QuillonEx.xla"' /f
  rm -f "$E2E_JOURNAL"
}

e2e_assert_addin_files() {
  local f
  for f in CordaleEx BriselEx TorvaneEx MalvixEx QuillonEx; do
    if [[ " $* " == *" $f "* ]]; then
      e2e_assert_file "$E2E_VELMOR/$f.xla"
    else
      e2e_assert_no_path "$E2E_VELMOR/$f.xla"
    fi
  done
}

# TorvaneEx installed as a user does it: the setup program with /A3, Start, the closing message,
# Exit.
e2e_drive_install_torvane() {
  e2e_drive <<EOF
start "$SETUP" /A3
window Velmor - TorvaneEx.xla
click 開始
$DONE_STEP
click 終了
exited 0
EOF
}

# TorvaneEx released as a user does it: the uninstall program, its option, Start, the release
# message, Exit.
e2e_drive_release_torvane() {
  e2e_drive <<EOF
start "$UNINSTALL"
window $TITLE_START
click TorvaneEx.xla
click 開始
msgbox UnInstall | アドイン関数(TorvaneEx)を開放しました。
click 終了
exited 0
EOF
}
