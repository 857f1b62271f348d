#!/usr/bin/env bash
# Set-up, build, then the main job on its built-in default: a test chord
# rendered through every factory preset, and pictures of the editor, written
# to the folder given (default: out/ at the top of the tree).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"

quill_build "$ROOT/build"
exec "$ROOT/build/host/quillbar-tremolo" demo "${1:-$ROOT/out}"
