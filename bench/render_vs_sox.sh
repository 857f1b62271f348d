#!/usr/bin/env bash
# Whole-process render time of quillbar-tremolo against sox's tremolo on the
# same 60 s of stereo 48 kHz audio. Prints both times (best of RUNS) and
# their ratio. Not a test: run it by hand after a Release build.
#
#   bench/render_vs_sox.sh [path/to/quillbar-tremolo]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
HOST="${1:-$ROOT/build/host/quillbar-tremolo}"
RUNS="${RUNS:-5}"

if [ ! -x "$HOST" ]; then
  echo "render_vs_sox: $HOST is not built (scripts/demo.sh or cmake --build build builds it)" >&2
  exit 1
fi
if ! command -v sox >/dev/null 2>&1; then
  echo "render_vs_sox: installing sox"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends sox
fi

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# 60 s of a two-note chord with a little noise, 32-bit float like the
# host's output, so neither side spends time on format conversion alone.
sox -n -r 48000 -c 2 -b 32 -e floating-point "$WORK/in.wav" \
  synth 60 sine 220 sine 330 whitenoise remix 1,2v0.5,3v0.02 1v0.5,2,3v0.02 2>/dev/null

# best_of CMD...: the shortest wall-clock time of RUNS runs, in seconds.
best_of() {
  local best=""
  for _ in $(seq "$RUNS"); do
    local start end t
    start=$(date +%s.%N)
    # A failed run would otherwise end the script without a word.
    if ! "$@" >/dev/null 2>"$WORK/err"; then
      echo "render_vs_sox: $1 failed:" >&2
      cat "$WORK/err" >&2
      exit 1
    fi
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  printf '%.3f' "$best"
}

host_s=$(best_of "$HOST" render "$WORK/in.wav" "$WORK/host.wav" --quiet)
sox_s=$(best_of sox "$WORK/in.wav" "$WORK/sox.wav" tremolo 6 50)
ratio=$(awk -v h="$host_s" -v s="$sox_s" 'BEGIN { print h / s }')

echo "60 s stereo 48 kHz, best of $RUNS runs (whole process, file in and out):"
printf '  quillbar-tremolo render (Default preset, 6 Hz): %8s s  (%.0fx real time)\n' "$host_s" \
  "$(awk -v t="$host_s" 'BEGIN { print 60 / t }')"
printf '  sox tremolo 6 50:                              %8s s  (%.0fx real time)\n' "$sox_s" \
  "$(awk -v t="$sox_s" 'BEGIN { print 60 / t }')"
printf '  ratio quillbar-tremolo / sox:                  %8.2f\n' "$ratio"
