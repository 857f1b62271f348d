#!/usr/bin/env bash
# Set-up, build, then every test through ctest; then the whole suite again
# under AddressSanitizer + UndefinedBehaviorSanitizer, every fuzz target for a
# short while, and the threaded tests and stress host under ThreadSanitizer.
# Non-zero exit on any failure.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"

# Everything the build and the tests read lives in the repository.
bash "$ROOT/scripts/check_paths.sh"

quill_build "$ROOT/build"
ctest --test-dir "$ROOT/build" --output-on-failure --parallel "$(nproc)"

# Each further stage says how long it took, so the CI budget stays visible.
stage() { echo "== $1: $(( SECONDS - STAGE_START )) s"; STAGE_START=$SECONDS; }
STAGE_START=$SECONDS

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer (clang,
# so that calls through mistyped function pointers are caught too). The same
# tree builds the fuzz targets, which then run briefly each from their seeds.
echo "== address,undefined sanitizers: every test, then every fuzz target"
SAN="$ROOT/build-san"
cmake -S "$ROOT" -B "$SAN" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS=-O1 -DCMAKE_CXX_FLAGS=-O1 \
  -DQUILL_SANITIZE=address,undefined -DQUILL_FUZZ=ON -DQUILL_BUILD_BENCH=OFF >/dev/null
cmake --build "$SAN" --parallel "$(nproc)"
stage "sanitized build"
ctest --test-dir "$SAN" --output-on-failure --parallel "$(nproc)" --no-tests=error
stage "sanitized tests"
QUILL_SAN_BUILD="$SAN" bash "$ROOT/scripts/fuzz.sh" all "${QUILL_FUZZ_SECONDS:-20}"
stage "fuzzing"

# ThreadSanitizer: the cross-thread tests (render against parameter changes,
# the text caches) and a short run of the stress host.
sanitized() {
  local kind="$1" dir="$2"; shift 2
  local targets=()
  local known
  known="$(ninja -C "$ROOT/build" -t targets all 2>/dev/null || true)"
  for t in "$@"; do
    grep -q "^${t}:" <<<"$known" && targets+=("$t")
  done
  [ ${#targets[@]} -eq 0 ] && return 0
  echo "== ${kind} sanitizer: ${targets[*]}"
  cmake -S "$ROOT" -B "$dir" -G Ninja -DQUILL_SANITIZE="$kind" -DQUILL_BUILD_BENCH=OFF >/dev/null
  cmake --build "$dir" --parallel "$(nproc)" --target "${targets[@]}"
  local regex
  regex="^($(IFS='|'; echo "${targets[*]}"))\$"
  ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" -L "$regex" --no-tests=error
}
sanitized thread "$ROOT/build-tsan" test_tremolo_concurrency test_tremolo_plot test_editor_text quill-stress
stage "thread sanitizer"
