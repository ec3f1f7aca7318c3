#!/usr/bin/env bash
# A longer run of the command-line fuzzer than the test command's bounded one:
#   bash scripts/fuzz.sh [SECONDS]      (default 1800)
# Builds the native preset's fuzzer (clang with libFuzzer, ASan and UBSan) and fuzzes from the
# committed seeds; inputs it finds are kept in build/native/tests/fuzz/found, a crash is written to
# build/native/tests/fuzz/ as crash-<hash>.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-1800}

cmake --preset native >/dev/null
cmake --build --preset native --target command_line_fuzz
fuzzer=build/native/tests/fuzz/command-line-fuzzer
[[ -x $fuzzer ]] || { echo "fuzz: the fuzzer was not built (clang++ and libclang-rt-dev needed)" >&2; exit 1; }
mkdir -p build/native/tests/fuzz/found
cd build/native/tests/fuzz
exec ./command-line-fuzzer -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  found ../../../../tests/fuzz/corpus
