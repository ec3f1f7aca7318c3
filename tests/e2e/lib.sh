# shellcheck shell=bash
# Shared by the end-to-end scenarios. A scenario is run as
#   bash tests/e2e/<name>.sh BUILD_DIR        (BUILD_DIR: the win64 build, e.g. build/win64)
# and sources this file first. It then calls e2e_begin, copies programs in with e2e_install_program,
# runs the driver with e2e_drive <<EOF ... EOF, checks files, the journal and the registry, and ends
# with e2e_pass. Whatever the scenario starts (Xvfb, Wine) is ended when it exits.
set -euo pipefail

E2E_NAME=$(basename "$0" .sh)
# shellcheck source=../../scripts/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh" "${1:?usage: $0 BUILD_DIR}"
trap velmor_cleanup EXIT
trap 'exit 130' INT TERM HUP

E2E_ARTIFACTS=$VELMOR_BUILD/artifacts/$E2E_NAME
E2E_DRIVER=$VELMOR_BUILD/tests/e2e/driver/e2e_driver.exe
# The folder the product is run from, as a user would copy it; the space in it is deliberate.
E2E_DIST_WIN='C:\dist\Velmor CD'
E2E_DIST=$(velmor_unixpath "$E2E_DIST_WIN")
E2E_VELMOR=$WINEPREFIX/drive_c/Velmor
E2E_STANDINS=$WINEPREFIX/drive_c/standins
E2E_JOURNAL=$E2E_STANDINS/journal.txt
E2E_ADDIN_KEY='HKCU\Software\Microsoft\Office\16.0\Excel\Options'
E2E_RUNS=0

e2e_log() { echo "[$E2E_NAME] $*"; }

e2e_fail() {
  echo "[$E2E_NAME] FAIL: $*" >&2
  if [[ -s $E2E_JOURNAL ]]; then
    echo "[$E2E_NAME] journal:" >&2
    sed 's/^/    /' "$E2E_JOURNAL" >&2
  fi
  exit 1
}

# A built program by file name, searched in the build folder (the prefixes, whose folders hold
# copies of programs from earlier runs, and the artifacts aside).
e2e_find_program() {
  find "$VELMOR_BUILD" \( -path "$WINEPREFIX" -o -path "$VELMOR_BUILD/wineprefix*" \
    -o -path "$VELMOR_BUILD/artifacts" \) -prune -o \
    -type f -name "$1" -print -quit
}

# Starts the display, prepares the prefix and empties the state the product and stand-ins leave.
e2e_begin() {
  [[ -f $E2E_DRIVER ]] || e2e_fail "driver not built: $E2E_DRIVER"
  rm -rf "$E2E_ARTIFACTS"
  mkdir -p "$E2E_ARTIFACTS"
  velmor_start_display || e2e_fail "no display"
  velmor_prepare_prefix || e2e_fail "the Wine prefix could not be prepared"
  e2e_reset
}

e2e_reset() {
  rm -rf "$E2E_VELMOR" "$E2E_STANDINS" "$E2E_DIST"
  mkdir -p "$E2E_STANDINS" "$E2E_DIST"
  vwine 60 reg delete "$E2E_ADDIN_KEY" /f >/dev/null 2>&1 || true
}

# Copies built programs into the distribution folder.
e2e_install_program() {
  local name path
  for name in "$@"; do
    path=$(e2e_find_program "$name")
    [[ -n $path ]] || e2e_fail "$name is not built in $VELMOR_BUILD (build the win64 preset first)"
    cp "$path" "$E2E_DIST/"
  done
}

# Windows path of a file in this scenario's artifacts folder (for screenshot steps).
e2e_artifact_win() { velmor_winpath "$E2E_ARTIFACTS/$1"; }

# Writes an order file for a stand-in: e2e_order excel fail=Open
e2e_order() {
  local name=$1
  shift
  printf '%s\n' "$@" >"$E2E_STANDINS/$name.cfg"
}

# Runs a command from the distribution folder. No subshell: a signal must reach this shell's traps
# while the command runs.
e2e_in_dist() {
  local here=$PWD rc=0
  cd "$E2E_DIST"
  "$@" || rc=$?
  cd "$here"
  return "$rc"
}

# Runs the driver on the steps given on stdin, from the distribution folder. Screenshots (BMP)
# become PNG files; on failure the whole screen is saved as failure-<n>.png.
e2e_drive() {
  E2E_RUNS=$((E2E_RUNS + 1))
  local steps="$E2E_ARTIFACTS/steps-$E2E_RUNS.txt" rc=0
  cat >"$steps"
  e2e_in_dist vwine "${E2E_DRIVE_SECONDS:-600}" "$E2E_DRIVER" "$(velmor_winpath "$steps")" || rc=$?
  local bmp
  for bmp in "$E2E_ARTIFACTS"/*.bmp; do
    [[ -f $bmp ]] || continue
    /usr/bin/convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
  if ((rc != 0)); then
    xwd -root -silent -display "$DISPLAY" 2>/dev/null |
      /usr/bin/convert xwd:- "$E2E_ARTIFACTS/failure-$E2E_RUNS.png" 2>/dev/null || true
    e2e_fail "driver run $E2E_RUNS failed (exit $rc); screen saved as $E2E_ARTIFACTS/failure-$E2E_RUNS.png"
  fi
}

# ---- assertions

e2e_assert_file() {
  [[ -f $1 ]] || e2e_fail "expected file $1"
}

e2e_assert_no_path() {
  [[ ! -e $1 ]] || e2e_fail "expected no $1"
}

# The journal's lines without CR.
e2e_journal() {
  [[ -f $E2E_JOURNAL ]] || return 0
  tr -d '\r' <"$E2E_JOURNAL"
}

# The stand-ins write to the journal from processes of their own, some of them (the Excel stand-in's
# "#exit", written after its COM shutdown) after the program under test has ended. A check of the
# journal therefore waits for what it looks for, with a bound; one that looks for an absence first
# waits until every stand-in that started has journalled its end.
E2E_SETTLE_SECONDS=${E2E_SETTLE_SECONDS:-60}

# e2e_wait_until COMMAND...: runs COMMAND until it succeeds (0) or E2E_SETTLE_SECONDS have passed
# (1).
e2e_wait_until() {
  local deadline=$((SECONDS + E2E_SETTLE_SECONDS))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# Every stand-in that journalled its start has journalled its end (an Excel told to end inside a
# call journals "#end inside <member>" instead of "#exit").
e2e_journal_settled() {
  local journal
  journal=$(e2e_journal)
  [[ $(grep -c ': #start' <<<"$journal") == "$(grep -cE ': #(exit|end inside )' <<<"$journal")" &&
    $(grep -cE '^[^:]+: start ' <<<"$journal") == "$(grep -cE '^[^:]+: end exit=' <<<"$journal")" ]]
}

# Waits (bounded) for the stand-ins to finish; the absence check that follows decides.
e2e_settle() { e2e_wait_until e2e_journal_settled || true; }

e2e_assert_journal_lacks() {
  e2e_settle
  if e2e_journal | grep -qF -- "$1"; then e2e_fail "journal has: $1"; fi
}

e2e_assert_journal_empty() {
  e2e_settle
  [[ -z $(e2e_journal) ]] || e2e_fail "expected an empty journal"
}

# The add-in values (OPEN, OPEN1, ...) as "NAME=DATA" lines.
e2e_addin_values() {
  vwine 60 reg query "$E2E_ADDIN_KEY" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *\(OPEN[0-9]*\) *REG_SZ *\(.*\)$/\1=\2/p' || true
}

e2e_pass() { e2e_log "PASS"; }
