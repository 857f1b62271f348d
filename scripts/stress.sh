#!/usr/bin/env bash
# scripts/stress.sh [SECONDS] [SEED]: builds quill-stress under ThreadSanitizer
# (build-tsan, shared with scripts/test.sh) and runs it for SECONDS (default
# 120) with SEED (default 1). Non-zero exit on a failed check, a data race or
# a deadlock.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${QUILL_TSAN_BUILD:-$ROOT/build-tsan}"
SECS="${1:-120}"
SEED="${2:-1}"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DQUILL_SANITIZE=thread -DQUILL_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" --parallel "$(nproc)" --target quill-stress
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
exec "$BUILD/tools/quill-stress" --seconds "$SECS" --seed "$SEED"
