#!/usr/bin/env bash
# The test command: installs what is missing, configures and builds the native, win64 and win32
# presets (win32 is compiled only: x86 programs cannot run here), then runs the unit tests
# (native), the end-to-end scenarios under Wine (win64, the release build) and the release checks
# (imports, size, signature, a second build's digests). Fails on any failure; the summary lines
# come last.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh

echo "== source format and pictures"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
python3 scripts/make-images.py --check

for preset in native win64 win32; do
  echo "== configure and build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

status=0
echo "== unit tests (native)"
ctest --preset native --no-tests=error 2>&1 | tee build/native/ctest-summary.log || status=1
echo "== end-to-end tests (win64, under Wine)"
ctest --preset win64 --no-tests=error 2>&1 | tee build/win64/ctest-summary.log || status=1
echo "== release checks (win64): imports, size, signature, reproducibility"
bash scripts/check-release.sh build/win64 2>&1 | tee build/win64/check-release.log || status=1

echo "== summary"
for log in build/native/ctest-summary.log build/win64/ctest-summary.log; do
  grep -E 'tests passed|tests failed|No tests were found|Total Test time' "$log" || true
done
grep -E '^check-release: ' build/win64/check-release.log || true
exit "$status"
