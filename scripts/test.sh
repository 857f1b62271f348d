#!/usr/bin/env bash
# Set-up, build, then every test through ctest. Non-zero exit on any failure.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"

# Everything the build and the tests read lives in the repository.
bash "$ROOT/scripts/check_paths.sh"

quill_build "$ROOT/build"
ctest --test-dir "$ROOT/build" --output-on-failure --parallel "$(nproc)"

# The sanitizer runs build only the test programs that exercise untrusted input
# (the PNG corpus) and cross-thread access (render vs. parameter changes).
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
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
sanitized address "$ROOT/build-asan" test_raster_png test_raster_text test_raster_shapes test_framework_iplugstructs test_framework_iplugbase test_framework_programfiles test_bridge_x11
sanitized thread "$ROOT/build-tsan" test_tremolo_concurrency test_tremolo_plot test_editor_text
