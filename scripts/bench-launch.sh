#!/usr/bin/env bash
# Launch benchmark (figures, not a test): launch -> visible window of Velmor_Setup.exe and
# UnInstall.exe against a bare Win32 window with common controls 6 (manifest and import, one
# button), the least a program with the programs' controls does, and beside them the same window
# without common controls; started alternately by a launcher that polls every millisecond, in one
# warm Wine session on Xvfb. Prints each round, the medians and each program's ratio to the bare
# window with common controls 6, the median of each round's own ratio.
#   bash scripts/bench-launch.sh [ROUNDS] [BUILD_DIR]      (defaults: 61, build/win64)
# Runs of 21 to 31 rounds scatter by about +-0.03 in the ratios even on a quiet machine.
# The build folder must hold a win64 build with the test bed (cmake --build --preset win64).
set -euo pipefail
rounds=${1:-61}
# shellcheck source=wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" "${2:-}"
trap velmor_cleanup EXIT
trap 'exit 130' INT TERM HUP

programs=(tests/bench/bare_window_cc6.exe tests/bench/bare_window.exe setup/Velmor_Setup.exe
  uninstall/UnInstall.exe)
for p in "${programs[@]}" tests/bench/launch_bench.exe; do
  [[ -f $VELMOR_BUILD/$p ]] || { echo "bench-launch: not built: $VELMOR_BUILD/$p" >&2; exit 1; }
done

VELMOR_HEADLESS=1 velmor_start_display
velmor_prepare_prefix
# All of them run from one folder of drive C:, as a user would run them.
bench=$WINEPREFIX/drive_c/bench
rm -rf "$bench"
mkdir -p "$bench"
args=()
for p in "${programs[@]}"; do
  cp "$VELMOR_BUILD/$p" "$bench/"
  args+=("C:\\bench\\$(basename "$p")")
done
cp "$VELMOR_BUILD/tests/bench/launch_bench.exe" "$bench/"

echo "bench-launch: $rounds rounds, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
vwine 1800 "$bench/launch_bench.exe" "$rounds" "${args[@]}"
