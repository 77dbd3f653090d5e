#!/usr/bin/env bash
# Mutation testing of the system folders: one small change at a time, rebuilt in build/mutate,
# then the native tests; a change that no test notices is a survivor.
#   mutate.sh [count] [seed]   count mutants that build (default 100), sample chosen by seed (default 1)
# Prints each mutant as killed / survived / no build, then the score killed / (killed + survived).
# The file under change is put back whatever happens (failure, Ctrl-C); the list of every mutant
# goes to build/mutate/mutants-SEED.txt.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build/mutate"
COUNT="${1:-100}"
SEED="${2:-1}"
TEST_TIMEOUT="${QV_MUTATE_TIMEOUT:-120}"
JOBS="$(nproc 2>/dev/null || echo 2)"
cd "$ROOT"

SYSTEM=(host mainwindow tree workspace commands common session)
mapfile -t FILES < <(for d in "${SYSTEM[@]}"; do ls "$d"/*.cpp 2>/dev/null; done)

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BENCH=OFF >/dev/null || exit 1
fi
# The build files first: a test program added since the last run must be among the targets.
ninja -C "$BUILD" build.ninja >/dev/null || exit 1
# Only the test programs: the demo and the session tool do not take part.
mapfile -t TARGETS < <(ninja -C "$BUILD" -t targets all | sed -n 's/^\(test_[A-Za-z0-9_]*\): phony$/\1/p')
build() { ninja -C "$BUILD" -j "$JOBS" "${TARGETS[@]}" </dev/null >"$BUILD/mutant-build.log" 2>&1; }

echo "== unchanged sources: build and tests"
if ! build; then
  tail -20 "$BUILD/mutant-build.log"
  echo "the unchanged sources do not build" >&2
  exit 1
fi
if ! ctest --test-dir "$BUILD" -j "$JOBS" --timeout "$TEST_TIMEOUT" >"$BUILD/mutant-test.log" 2>&1; then
  grep -E 'Failed|\*\*\*' "$BUILD/mutant-test.log" | head -20
  echo "the tests fail without any mutant" >&2
  exit 1
fi

BACKUP="$(mktemp)"
CURRENT=""
restore() {
  if [ -n "$CURRENT" ]; then
    # A new time stamp: the next build compiles the original again.
    cat "$BACKUP" >"$CURRENT"
    CURRENT=""
  fi
}
trap 'restore; rm -f "$BACKUP"' EXIT
trap 'restore; echo; echo "interrupted" >&2; exit 130' INT TERM

RESULTS="$BUILD/mutants-$SEED.txt"
: >"$RESULTS"
killed=0
survived=0
nobuild=0
n=0
echo "== mutants (seed $SEED, $COUNT that build)"
while IFS=$'\t' read -r file line kind what; do
  [ $((killed + survived)) -ge "$COUNT" ] && break
  n=$((n + 1))
  cp "$file" "$BACKUP"
  CURRENT="$file"
  perl "$ROOT/tools/mutate-sites.pl" apply "$file" "$line" "$kind" || { restore; continue; }
  if ! build; then
    outcome="no build"
    nobuild=$((nobuild + 1))
  elif ctest --test-dir "$BUILD" -j "$JOBS" --timeout "$TEST_TIMEOUT" --stop-on-failure </dev/null >"$BUILD/mutant-test.log" 2>&1; then
    outcome="survived"
    survived=$((survived + 1))
  else
    outcome="killed"
    killed=$((killed + 1))
  fi
  restore
  printf '%-9s %s:%s  %s: %s\n' "$outcome" "$file" "$line" "$kind" "$what" | tee -a "$RESULTS"
done < <(perl "$ROOT/tools/mutate-sites.pl" list "$SEED" "${FILES[@]}")

# Leave the build as the sources are.
build || true
total=$((killed + survived))
if [ $total -gt 0 ]; then
  score=$(awk -v k=$killed -v t=$total 'BEGIN { printf "%.1f", 100 * k / t }')
else
  score="n/a"
fi
echo "== seed $SEED: $killed killed, $survived survived, $nobuild did not build; score $killed/$total = $score%"
echo "survivors:"
grep '^survived' "$RESULTS" | sed 's/^survived */  /' || echo "  none"
[ $survived -eq 0 ]
