#!/usr/bin/env bash
# Fails when a build file, script, test, benchmark or tool names a path above
# the project's root. A clone of this repository is all a user has, so
# everything the build and the tests read must live inside it.
#
# Checks every tracked file of those kinds for:
#  - a relative path whose leading "../" steps climb above the root, counted
#    from the folder of the file that names it;
#  - a root variable (the project source dir, the scripts' ROOT) followed by a
#    step up;
#  - an absolute path into the machine's work area (/work/...).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- CMakeLists.txt '*CMakeLists.txt' '*.cmake' \
    'scripts/*' '.ci/*' 'tests/*.cpp' 'tests/*.h' 'tests/*.sh' 'tests/*.py' \
    'bench/*' 'tools/*' 'fuzz/*')
else
  mapfile -t files < <(find . -path ./build\* -prune -o -type f \( -name CMakeLists.txt \
    -o -name '*.cmake' -o -name '*.sh' -o -name '*.cpp' -o -name '*.h' -o -name '*.py' \) -print |
    sed 's|^\./||')
fi

bad=0
report() { echo "check_paths: $1:$2: $3" >&2; bad=1; }

for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  case "$f" in tests/data/*) continue ;; esac
  # Depth of the file's folder below the root: tests/raster/x.cpp is 2.
  dir="$(dirname "$f")"
  depth=0
  [ "$dir" != "." ] && depth=$(awk -F/ '{print NF}' <<<"$dir")
  while IFS= read -r hit; do
    line="${hit%%:*}"; text="${hit#*:}"
    steps=$(grep -o '\.\./' <<<"$text" | wc -l)
    if [ "$steps" -gt "$depth" ]; then
      report "$f" "$line" "'$text' climbs above the project root"
    fi
  done < <(grep -noE '(^|[^A-Za-z0-9_./}])(\.\./)+' "$f" | sed -E 's/:[^.]*/:/' || true)
  while IFS= read -r hit; do
    report "$f" "${hit%%:*}" "'${hit#*:}' names a path above or outside the project"
  done < <(grep -noE '(PROJECT_SOURCE_DIR|CMAKE_SOURCE_DIR|CMAKE_CURRENT_SOURCE_DIR|QUILL_SOURCE_DIR|ROOT)\}?"?/\.\.|"?/work/[A-Za-z]' "$f" || true)
done

if [ "$bad" -ne 0 ]; then
  echo "check_paths: the build, scripts and tests must only read files inside the repository" >&2
  exit 1
fi
echo "check_paths: ${#files[@]} files name no path outside the repository"
