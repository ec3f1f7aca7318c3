# shellcheck shell=bash
# The Wine test bed, sourced by the other scripts:
#   source scripts/wine-env.sh [BUILD_DIR]     (default build/win64)
#   trap velmor_cleanup EXIT                   (ends the wineserver of our prefix and our Xvfb)
#   velmor_start_display                       ($DISPLAY when usable, else a private Xvfb)
#   velmor_prepare_prefix                      (create the prefix once, apply the settings)
#   vwine SECONDS program args...              (wine64 under a time limit)
#   velmor_register_excel_standin / velmor_unregister_excel_standin
# Everything started here is ended by velmor_cleanup, by PID or through our own prefix.

VELMOR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELMOR_BUILD=$(mkdir -p "${1:-${VELMOR_BUILD:-$VELMOR_ROOT/build/win64}}" && cd "${1:-${VELMOR_BUILD:-$VELMOR_ROOT/build/win64}}" && pwd)

# The prefix is ours alone (a developer's own WINEPREFIX is never touched, nor its wineserver killed).
export WINEPREFIX="${VELMOR_WINEPREFIX:-$VELMOR_BUILD/wineprefix}"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
VELMOR_WINE64=$(command -v wine64 || echo /usr/lib/wine/wine64)
if [[ -x /usr/lib/wine/wineserver ]]; then
  VELMOR_WINESERVER=/usr/lib/wine/wineserver
else
  VELMOR_WINESERVER=$(command -v wineserver || echo wineserver)
fi
# Programs that Wine itself starts (winedbg, explorer) use the same 64-bit loader.
export WINELOADER="$VELMOR_WINE64"
VELMOR_XVFB_PID=""

velmor_log() { echo "[wine-env] $*" >&2; }

# vwine SECONDS program args...: run a Windows program, killed after SECONDS (exit 124 then).
# It runs as a background job that the shell waits for, so that a signal to the script runs its
# traps (and so the cleanup) at once instead of after the program ends.
vwine() {
  local seconds=$1
  shift
  timeout --kill-after=5 "$seconds" "$VELMOR_WINE64" "$@" &
  wait "$!"
}

# Unix path -> the Windows path Wine sees (Z: maps the Unix root; C: is the prefix's drive_c).
velmor_winpath() {
  local p
  p=$(realpath -m "$1")
  if [[ $p == "$WINEPREFIX/drive_c" || $p == "$WINEPREFIX/drive_c/"* ]]; then
    p="C:${p#"$WINEPREFIX/drive_c"}"
  else
    p="Z:$p"
  fi
  p=${p//\//\\}
  [[ $p == ?: ]] && p="$p\\"
  echo "$p"
}

# Windows path on drive C: -> Unix path inside the prefix.
velmor_unixpath() {
  local p=${1//\\//}
  case $p in
    [Cc]:*) echo "$WINEPREFIX/drive_c${p:2}" ;;
    [Zz]:*) echo "${p:2}" ;;
    *) echo "$p" ;;
  esac
}

velmor_display_usable() {
  [[ -n ${DISPLAY:-} ]] && timeout 5 xdpyinfo >/dev/null 2>&1
}

# Uses the caller's display unless VELMOR_HEADLESS=1 or it is unusable; otherwise starts Xvfb on a
# free display number chosen by the server itself (-displayfd).
velmor_start_display() {
  if [[ ${VELMOR_HEADLESS:-0} != 1 ]] && velmor_display_usable; then
    velmor_log "using display $DISPLAY"
    return 0
  fi
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -nolisten unix-abstract 3>"$fdfile" \
    >/dev/null 2>&1 &
  VELMOR_XVFB_PID=$!
  local i
  for ((i = 0; i < 100; i++)); do
    if [[ -s $fdfile ]] && grep -q '^[0-9][0-9]*$' "$fdfile"; then
      break
    fi
    if ! kill -0 "$VELMOR_XVFB_PID" 2>/dev/null; then
      break
    fi
    sleep 0.1
  done
  local num
  num=$(tr -dc '0-9' <"$fdfile")
  rm -f "$fdfile"
  if [[ -z $num ]]; then
    velmor_log "Xvfb did not start"
    return 1
  fi
  export DISPLAY=":$num"
  velmor_log "started Xvfb on $DISPLAY (pid $VELMOR_XVFB_PID)"
}

velmor_cleanup() {
  local rc=$?
  if [[ -n ${WINEPREFIX:-} && -d ${WINEPREFIX:-} ]]; then
    timeout 30 "$VELMOR_WINESERVER" -k >/dev/null 2>&1 || true
    timeout 30 "$VELMOR_WINESERVER" -w >/dev/null 2>&1 || true
  fi
  if [[ -n $VELMOR_XVFB_PID ]]; then
    kill "$VELMOR_XVFB_PID" 2>/dev/null || true
    wait "$VELMOR_XVFB_PID" 2>/dev/null || true
    VELMOR_XVFB_PID=""
  fi
  return "$rc"
}

# A string as REG_MULTI_SZ in .reg syntax: hex(7):xx,xx,... (UTF-16LE, each entry and the list
# terminated by a NUL).
velmor_reg_multi_sz() {
  local joined="" s
  for s in "$@"; do joined+="$s"$'\n'; done
  joined+=$'\n'
  printf '%s' "$joined" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 |
    tr -s ' \n' ' ' | sed -e 's/^ //' -e 's/ $//' -e 's/0a 00/00 00/g' -e 's/ /,/g' |
    sed 's/^/hex(7):/'
}

# The settings every run relies on, as one .reg file (UTF-8 here, converted to UTF-16LE with BOM).
velmor_settings_reg() {
  local ui_link
  ui_link=$(velmor_reg_multi_sz "ipagp.ttf,IPAPGothic" "ipag.ttf,IPAGothic")
  cat <<EOF
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]
"ＭＳ ゴシック"="IPAGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ 明朝"="IPAMincho"
"ＭＳ Ｐ明朝"="IPAPMincho"
"MS Gothic"="IPAGothic"
"MS PGothic"="IPAPGothic"
"MS UI Gothic"="IPAPGothic"
"MS Mincho"="IPAMincho"
"HG明朝E"="IPAMincho"
"Arial"="Liberation Sans"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]
"Tahoma"=$ui_link
"Microsoft Sans Serif"=$ui_link
"MS Shell Dlg"=$ui_link
"MS Shell Dlg 2"=$ui_link
"Segoe UI"=$ui_link
"Liberation Sans"=$ui_link

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]
"LogPixels"=dword:00000060

[HKEY_CURRENT_USER\\Control Panel\\Desktop]
"LogPixels"=dword:00000060

; Title bars are drawn in a bold face, and the font links above find no bold Japanese face, so a
; Japanese title showed boxes: title bars use IPAPGothic directly (a LOGFONTW: height -12, weight
; 700, Shift-JIS character set).
[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]
"CaptionFont"=hex:f4,ff,ff,ff,00,00,00,00,00,00,00,00,00,00,00,00,bc,02,00,00,00,00,00,80,00,00,00,00,49,00,50,00,41,00,50,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

EOF
}

# Creates the prefix once and (re)applies the settings when they changed. Needs a display.
velmor_prepare_prefix() {
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    velmor_log "creating Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    if ! vwine 300 wineboot -i >/dev/null 2>&1; then
      velmor_log "wineboot -i failed or timed out"
      return 1
    fi
  fi
  # This Wine build does not find its own fonts (Tahoma, Marlett for the caption buttons, ...) in
  # its data folder; the prefix's Fonts folder is always searched.
  local f fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  for f in /usr/share/wine/fonts/*.ttf; do
    [[ -f $f && ! -f $fonts/${f##*/} ]] && cp "$f" "$fonts/"
  done
  local reg_utf8 stamp want have
  reg_utf8=$(velmor_settings_reg)
  stamp="$WINEPREFIX/.velmor-settings"
  want=$(printf '%s' "$reg_utf8" | sha256sum | cut -d' ' -f1)
  have=$(cat "$stamp" 2>/dev/null || true)
  if [[ $want != "$have" ]]; then
    velmor_log "applying prefix settings"
    local regfile="$WINEPREFIX/drive_c/velmor-settings.reg"
    {
      printf '\xff\xfe'
      printf '%s\n' "$reg_utf8" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE
    } >"$regfile"
    if ! vwine 120 regedit /S 'C:\velmor-settings.reg' >/dev/null 2>&1; then
      velmor_log "importing the prefix settings failed"
      return 1
    fi
    rm -f "$regfile"
    # Settings reach the files on disk when the server exits; the stamp must not run ahead of them.
    timeout 30 "$VELMOR_WINESERVER" -k >/dev/null 2>&1 || true
    timeout 30 "$VELMOR_WINESERVER" -w >/dev/null 2>&1 || true
    echo "$want" >"$stamp"
  fi
}

velmor_excel_standin() {
  echo "$VELMOR_BUILD/standins/excel/ExcelStandin.exe"
}

# Whether Excel.Application names a class in the prefix's machine classes, where COM looks.
velmor_excel_standin_registered() {
  vwine 60 reg query 'HKLM\Software\Classes\Excel.Application\CLSID' /ve >/dev/null 2>&1
}

# Registers the Excel stand-in's COM classes in the prefix (its own /RegServer) and waits, for at
# most VELMOR_REGISTER_SECONDS (default 90), until the registry shows them. Right after the prefix
# was ended (the previous scenario's cleanup, a restart) the processes of the ended session are
# still going for a while, and the first Wine programs of the next one may fail under load: a
# failed attempt is logged with its exit code and output and tried again once the old server has
# gone, until the bound. Everything the stand-in and Wine print goes to stderr, the caller's log.
velmor_register_excel_standin() {
  local exe attempt=0 rc output
  local deadline=$((SECONDS + ${VELMOR_REGISTER_SECONDS:-90}))
  exe=$(velmor_excel_standin)
  if [[ ! -f $exe ]]; then
    velmor_log "Excel stand-in not built: $exe"
    return 1
  fi
  # The output goes through a file, not a pipe: a wineserver that this call starts holds a pipe
  # open for the seconds it lingers after its last program.
  output=$(mktemp)
  while :; do
    attempt=$((attempt + 1))
    rc=0
    vwine 60 "$exe" /RegServer >"$output" 2>&1 || rc=$?
    sed 's/^/[ExcelStandin \/RegServer] /' "$output" >&2
    if ((rc == 0)) && velmor_excel_standin_registered; then
      ((attempt == 1)) || velmor_log "the Excel stand-in is registered (attempt $attempt)"
      rm -f "$output"
      return 0
    fi
    if ((rc == 0)); then
      velmor_log "Excel stand-in registration, attempt $attempt: exit 0, but the registry does not show Excel.Application"
    else
      velmor_log "Excel stand-in registration, attempt $attempt: exit $rc"
    fi
    ((SECONDS < deadline)) || { rm -f "$output" && return 1; }
    timeout 30 "$VELMOR_WINESERVER" -w >/dev/null 2>&1 || true
    sleep 1
  done
}

velmor_unregister_excel_standin() {
  local exe
  exe=$(velmor_excel_standin)
  [[ -f $exe ]] || return 0
  vwine 60 "$exe" /UnregServer
}
