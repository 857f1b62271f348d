#!/usr/bin/env bash
# scripts/fuzz.sh TARGET [SECONDS]: builds fuzz/fuzz_TARGET (clang, with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs it for SECONDS
# (default 60) from its seeds in fuzz/corpus/TARGET. TARGET "all" runs every
# target in turn. Inputs that find new paths collect in
# <build>/fuzz-corpus/TARGET; a crashing input is saved as
# <build>/fuzz-artifacts/TARGET-crash-... and the script exits non-zero.
# QUILL_SAN_BUILD names the build folder (default build-san, which
# scripts/test.sh also uses for the sanitized test run).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${QUILL_SAN_BUILD:-$ROOT/build-san}"
TARGET="${1:-}"
SECONDS_EACH="${2:-60}"

targets=()
for f in "$ROOT"/fuzz/fuzz_*.cpp; do
  t="$(basename "$f" .cpp)"
  targets+=("${t#fuzz_}")
done
if [ -z "$TARGET" ] || { [ "$TARGET" != all ] && [ ! -f "$ROOT/fuzz/fuzz_$TARGET.cpp" ]; }; then
  echo "usage: scripts/fuzz.sh TARGET [SECONDS]   (TARGET: all ${targets[*]})" >&2
  exit 2
fi
[ "$TARGET" = all ] || targets=("$TARGET")

# Configures the sanitizer tree with the fuzz targets (once).
quill_configure_san() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS=-O1 -DCMAKE_CXX_FLAGS=-O1 \
    -DQUILL_SANITIZE=address,undefined -DQUILL_FUZZ=ON -DQUILL_BUILD_BENCH=OFF "$@" >/dev/null
}
quill_configure_san
cmake --build "$BUILD" --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
status=0
for t in "${targets[@]}"; do
  work="$BUILD/fuzz-corpus/$t"
  mkdir -p "$work" "$BUILD/fuzz-artifacts"
  seeds=("$ROOT/fuzz/corpus/$t")
  # The PNG loader's test images are its seeds too.
  [ "$t" = png ] && seeds+=("$ROOT/tests/data/png/pngsuite" "$ROOT/tests/data/png/testpngs")
  log="$BUILD/fuzz-artifacts/$t.log"
  set +e
  "$BUILD/fuzz/fuzz_$t" -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$BUILD/fuzz-artifacts/$t-" "$work" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  set -e
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  if [ $rc -ne 0 ]; then
    echo "fuzz $t: FAILED after ${execs:-?} executions (exit $rc); the end of $log:"
    tail -n 60 "$log"
    status=1
  else
    echo "fuzz $t: ${execs:-?} executions in ${SECONDS_EACH} s, no failure"
  fi
done
exit $status
