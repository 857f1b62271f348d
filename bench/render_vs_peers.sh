#!/usr/bin/env bash
# Whole-process render time of quillbar-tremolo against three other tremolo
# and auto-pan programs on the same 60 s of stereo 48 kHz audio, in one run:
#   sox ... tremolo 6 50
#   applyplugin with the TAP AutoPanner (LADSPA) at 6 Hz, 50 %
#   lv2file with the Calf Pulsator (LV2) at 6 Hz, amount 0.5
# Each command runs RUNS times (default 5), the four taking turns; the
# script prints the median wall time, the median CPU time (user + system)
# and each peer's ratio to ours (above 1: we are faster). On a loaded
# machine the wall times are noisy; the ratios within one run are what
# count. Not a test: run it by hand after a build, it installs the peers it
# lacks.
#
# Before each timed command the script waits for the disk to take every
# file written so far (sync), as it has long done by the time anyone
# replaces an output that is older than the kernel's writeback delay
# (30 s). Without that, a program that leaves its output in the page cache
# replaces, on its next run, a file that has no blocks on disk yet, while
# the program after it shares the disk with that writeback. SETTLE=0 turns
# the wait off to see the difference.
#
#   bench/render_vs_peers.sh [path/to/quillbar-tremolo]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
HOST="${1:-$ROOT/build/host/quillbar-tremolo}"
RUNS="${RUNS:-5}"
SETTLE="${SETTLE:-1}"
TAP_PLUGIN=/usr/lib/ladspa/tap_autopan.so
PULSATOR=http://calf.sourceforge.net/plugins/Pulsator

if [ ! -x "$HOST" ]; then
  echo "render_vs_peers: $HOST is not built (scripts/demo.sh or cmake --build build builds it)" >&2
  exit 1
fi
missing=()
command -v sox >/dev/null 2>&1 || missing+=(sox)
command -v applyplugin >/dev/null 2>&1 || missing+=(ladspa-sdk)
[ -f "$TAP_PLUGIN" ] || missing+=(tap-plugins)
command -v lv2file >/dev/null 2>&1 || missing+=(lv2file)
[ -d /usr/lib/lv2/calf.lv2 ] || missing+=(calf-plugins)
if [ "${#missing[@]}" -gt 0 ]; then
  echo "render_vs_peers: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# 60 s of a two-note chord with a little noise, 32-bit float like the
# host's output, so no side spends time on format conversion alone.
sox -n -r 48000 -c 2 -b 32 -e floating-point "$WORK/in.wav" \
  synth 60 sine 220 sine 330 whitenoise remix 1,2v0.5,3v0.02 1v0.5,2,3v0.02 2>/dev/null

# run NAME CMD...: runs CMD once, appending its wall, user and system
# seconds to $WORK/NAME.times.
run() {
  local name=$1
  shift
  # A failed run would otherwise end the script without a word.
  local TIMEFORMAT='%3R %3U %3S' rc=0
  [ "$SETTLE" = 0 ] || sync
  { time "$@" >/dev/null 2>"$WORK/err" || rc=$?; } 2>>"$WORK/$name.times"
  if [ "$rc" -ne 0 ]; then
    echo "render_vs_peers: $1 failed:" >&2
    cat "$WORK/err" >&2
    exit 1
  fi
}

# The commands take turns, one run each per round, so that a busy spell on
# the machine falls on all of them alike instead of on whichever ran then.
for _ in $(seq "$RUNS"); do
  run ours "$HOST" render "$WORK/in.wav" "$WORK/ours.wav" --quiet
  run sox sox "$WORK/in.wav" "$WORK/sox.wav" tremolo 6 50
  run tap applyplugin -s 1 "$WORK/in.wav" "$WORK/tap.wav" "$TAP_PLUGIN" tap_autopan 6 50 0
  run calf lv2file -i "$WORK/in.wav" -o "$WORK/calf.wav" -p hz:6 -p amount:0.5 "$PULSATOR"
done

# WALL[NAME] and CPU[NAME]: the medians in seconds.
declare -A WALL CPU
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
for name in ours sox tap calf; do
  WALL[$name]=$(awk '{ print $1 }' "$WORK/$name.times" | median)
  CPU[$name]=$(awk '{ print $2 + $3 }' "$WORK/$name.times" | median)
done

settled="each run starts with earlier writes on disk"
[ "$SETTLE" = 0 ] && settled="runs start without waiting for earlier writes"
echo "60 s stereo 48 kHz, median of $RUNS runs (whole process, file in and out; $settled):"
printf '  %-46s %8s %8s %12s\n' "" "wall s" "cpu s" "peer / ours"
row() {
  printf '  %-46s %8.3f %8.3f' "$2" "${WALL[$1]}" "${CPU[$1]}"
  if [ "$1" = ours ]; then
    echo
  else
    printf ' %6.2f %5.2f\n' "$(awk -v p="${WALL[$1]}" -v o="${WALL[ours]}" 'BEGIN { print p / o }')" \
      "$(awk -v p="${CPU[$1]}" -v o="${CPU[ours]}" 'BEGIN { print (o > 0) ? p / o : 0 }')"
  fi
}
row ours "quillbar-tremolo render (Default preset)"
row sox "sox tremolo 6 50"
row tap "applyplugin, TAP AutoPanner 6 Hz 50 %"
row calf "lv2file, Calf Pulsator 6 Hz 0.5"
echo "  (peer / ours: wall ratio, then cpu ratio; above 1 means quillbar-tremolo is faster)"
