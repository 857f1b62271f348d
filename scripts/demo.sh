#!/usr/bin/env bash
# Set-up, build, then the main job on its built-in default.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"

quill_build "$ROOT/build"
if [ -x "$ROOT/build/host/quillbar-tremolo" ]; then
  exec "$ROOT/build/host/quillbar-tremolo" demo "${1:-$ROOT/out}"
fi
echo "The command-line host is not built yet; this demo shows what exists."
for t in "$ROOT"/build/tools/quill-*; do
  [ -x "$t" ] && "$t"
done
