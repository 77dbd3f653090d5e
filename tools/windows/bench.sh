#!/usr/bin/env bash
# One display session of the real DLL under Wine, timed against a bare Win32 program that makes the
# same windows, in the same run.
#   tools/windows/bench.sh [--runs N] [--warmup N]
# Reuses build/win64 and the Wine prefix build/wine64-prefix (made as windows.sh makes them when
# missing), prints the table and writes build/bench-windows.md, which tools/bench-report.sh adds
# to bench/results.md.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="$ROOT/build"
DIR="$BUILD/win64"
OUT="$BUILD/bench-windows.md"
export WINEDEBUG=-all WINEARCH=win64 WINEPREFIX="$BUILD/wine64-prefix"
WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE="$(command -v wine64 || command -v wine || true)"
rm -f "$OUT"

for tool in "$WINE" x86_64-w64-mingw32-g++ cmake ninja Xvfb; do
  [ -n "$tool" ] && command -v "$tool" >/dev/null 2>&1 && continue
  echo "bench.sh: ${tool:-wine} is missing (tools/windows/windows.sh test installs what is needed)" >&2
  exit 1
done

XVFB_PID=""
cleanup() {
  # Our Wine processes are gone by now: wait for the server to follow, never kill others' work.
  timeout 30 wineserver -w >/dev/null 2>&1 || true
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ ! -f "$DIR/build.ninja" ]; then
  cmake -S "$ROOT" -B "$DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQV_BENCH=OFF >/dev/null || exit 1
fi
echo "== building build/win64"
cmake --build "$DIR" -j "$(nproc 2>/dev/null || echo 2)" --target LNSQuilletVexaProxy QuilletSimComponents quillet-bench-win \
  >"$DIR/bench-build.log" 2>&1 || { tail -30 "$DIR/bench-build.log"; exit 1; }

for d in $(seq 90 140); do
  [ -e "/tmp/.X$d-lock" ] || [ -e "/tmp/.X11-unix/X$d" ] && continue
  Xvfb ":$d" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$d" ] && { export DISPLAY=":$d"; break 2; }
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  XVFB_PID=""
done
[ -n "$XVFB_PID" ] || { echo "bench.sh: no X display could be started" >&2; exit 1; }

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the Wine prefix build/wine64-prefix"
  mkdir -p "$WINEPREFIX"
  WINEDLLOVERRIDES="mscoree,mshtml=" timeout 600 "$WINE" wineboot -i >/dev/null 2>&1
  wineserver -w
fi
# Without a window manager Wine waits about 2 s whenever a managed top-level window hides: that wait
# would swamp both sides of the comparison.
if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi
for dll in LNSQuilletVexaProxy.dll QuilletSimComponents.dll; do
  win="Z:${DIR//\//\\}\\bin\\$dll"
  grep -qiF "${win//\\/\\\\}" "$WINEPREFIX/system.reg" 2>/dev/null && continue
  "$WINE" regsvr32 /s "$win" >/dev/null 2>&1 || { echo "bench.sh: regsvr32 $dll failed" >&2; exit 1; }
done

echo "== display session under Wine: LNSQuilletVexaProxy.dll against a bare Win32 baseline"
LOAD="$(cut -d' ' -f1 /proc/loadavg)"
RAW="$(mktemp)"
timeout 1200 "$WINE" "$DIR/bin/quillet-bench-win.exe" "$@" 2>&1 | tr -d '\r' >"$RAW"
rc=${PIPESTATUS[0]}
cat "$RAW"
if [ "$rc" -ne 0 ] || ! grep -q '^Ratio DLL / baseline' "$RAW"; then
  rm -f "$RAW"
  # A run of windows.sh on the same prefix ends its wineserver, and with it this program.
  echo "bench.sh: the benchmark gave no figures (exit code $rc)" >&2
  exit 1
fi

cpu="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
{
  echo "## Under Wine"
  echo
  echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores; $("$WINE" --version 2>/dev/null), 64-bit prefix, Xvfb 1280x1024x24 without"
  echo "a window manager; build/win64 (MinGW-w64, Release); load average $LOAD at the start; $(date -u '+%Y-%m-%d %H:%M UTC')."
  echo "The baseline makes the same windows with bare Win32 calls: the form with its menu bar, the four frames and"
  echo "fraButtons, both list views with their columns, the tree, the labels, the buttons with the feature buttons,"
  echo "the status bar with two panels and its progress bar, the grab area and splitter bar, and the simulated"
  echo "workspace control in atl.dll's AtlAxWin; then destroys them."
  echo
  cat "$RAW"
} >"$OUT"
rm -f "$RAW"
echo "== wrote build/bench-windows.md"
