#!/usr/bin/env bash
# Plays N full host sessions in one process under valgrind's memcheck on the RelWithDebInfo build
# and fails on any definite leak or memory error.
#   tools/valgrind-sessions.sh [N]   (default 1000)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build/native"
JOBS="$(nproc 2>/dev/null || echo 2)"
N="${1:-1000}"

echo "== valgrind: $N host sessions"
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" -j "$JOBS" --target quillet-sessions >"$BUILD/sessions-build.log" 2>&1 ||
  { tail -40 "$BUILD/sessions-build.log" >&2; exit 1; }

log="$BUILD/valgrind-sessions.log"
start=$SECONDS
rc=0
valgrind --leak-check=full --errors-for-leak-kinds=definite --error-exitcode=3 --log-file="$log" \
  "$BUILD/tools/sessions/quillet-sessions" "$N" || rc=$?
elapsed=$((SECONDS - start))

# Without leaks memcheck prints no leak summary at all ("All heap blocks were freed").
leaked="$(sed -n 's/.*definitely lost: \([0-9,]*\) bytes in \([0-9,]*\) blocks.*/\2/p' "$log" | tail -1 | tr -d ,)"
leaked="${leaked:-0}"
errors="$(sed -n 's/.*ERROR SUMMARY: \([0-9,]*\) errors.*/\1/p' "$log" | tail -1 | tr -d ,)"
errors="${errors:-?}"
if [ "$rc" -ne 0 ] || [ "$leaked" != 0 ] || [ "$errors" != 0 ]; then
  grep -v '^==[0-9]*== *$' "$log" | tail -60 >&2
  echo "valgrind: $N sessions FAILED (exit $rc, $leaked definitely lost blocks, $errors errors; full log: $log)" >&2
  exit 1
fi
echo "valgrind: $N sessions, 0 definite leaks, 0 memory errors (${elapsed} s)"
