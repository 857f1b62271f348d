#!/usr/bin/env bash
# Runs the bundle in jalv on a private JACK server (dummy driver, no sound
# card) with JACK transport rolling at a set tempo, feeds it a tone and
# records its output.
#
#   jalv_transport.sh LV2_DIR URI BPM SECONDS OUT.wav [SYMBOL=VALUE]...
#
# Every process started here is ended here, by its own id.
set -euo pipefail
lv2dir="$1" uri="$2" bpm="$3" seconds="$4" out="$5"
shift 5

export JACK_DEFAULT_SERVER="quill_lv2_$$"
export JACK_NO_AUDIO_RESERVATION=1
export LV2_PATH="$lv2dir"
work="$(mktemp -d)"
pids=()
# stop PID: asks it to end, and makes it after two seconds.
stop() {
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 20); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
cleanup() {
  local i
  { printf 'quit\n' >&3; } 2>/dev/null || true
  exec 3>&- 4>&-
  # Clients first, the server last: a server stopped under its clients
  # waits for them to time out.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do stop "${pids[i]}"; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' TERM INT

jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
pids+=($!)
jack_wait -w -t 10 >/dev/null 2>&1

# Console programs read commands from fifos held open here until the end.
mkfifo "$work/transport" "$work/jalv"
jack_transport <"$work/transport" >/dev/null 2>&1 &
pids+=($!)
exec 3>"$work/transport"
controls=()
for c in "$@"; do controls+=(-c "$c"); done
jalv -n tremolo "${controls[@]}" "$uri" <"$work/jalv" >"$work/jalv.log" 2>&1 &
pids+=($!)
exec 4>"$work/jalv"

# A steady tone (JACK's example client plays a sine).
jack_simple_client tone >/dev/null 2>&1 &
pids+=($!)

# A loaded machine may take a while to start them.
for _ in $(seq 400); do
  ports="$(jack_lsp 2>/dev/null || true)"
  grep -q '^tremolo:out_r$' <<<"$ports" && grep -q '^tone:output2$' <<<"$ports" && break
  sleep 0.05
done
if ! grep -q '^tremolo:out_r$' <<<"$ports"; then
  echo "jalv did not start:" >&2
  cat "$work/jalv.log" >&2
  exit 1
fi
jack_connect tone:output1 tremolo:in_l
jack_connect tone:output2 tremolo:in_r

# Transport master at the tempo, rolling from the start.
printf 'master\ntempo %s\nlocate 0\nplay\n' "$bpm" >&3
jack_rec -f "$out" -d "$seconds" tremolo:out_l tremolo:out_r >/dev/null 2>&1
