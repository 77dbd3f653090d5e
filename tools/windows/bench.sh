#!/usr/bin/env bash
# One display session of the real DLL under Wine, timed against a bare Win32 program that makes the
# same windows, in the same run; 64-bit, then 32-bit where 32-bit Wine is installed.
#   tools/windows/bench.sh [--runs N] [--warmup N] [--firsts N]
# Builds build/win64 and build/win32 and uses the Wine prefixes build/wine64-prefix and
# build/wine32-prefix as windows.sh makes them, prints the tables and writes build/bench-windows.md,
# which tools/bench-report.sh adds to bench/results.md. --firsts N: first sessions timed, each in a
# fresh process (default 5 per side and bitness).
set -uo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# The display, the prefixes and the registration of the DLLs are windows.sh's: its functions only.
# shellcheck source=/dev/null
source <(sed '/^cmd="\${1:-test}"/,$d' "$HERE/windows.sh")
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="$ROOT/build"
OUT="$BUILD/bench-windows.md"
rm -f "$OUT"

ARGS=()
FIRSTS=5
while [ $# -gt 0 ]; do
  case "$1" in
    --firsts) FIRSTS="$2"; shift 2 ;;
    *) ARGS+=("$1"); shift ;;
  esac
done

for tool in x86_64-w64-mingw32-g++ cmake ninja Xvfb /usr/lib/wine/wine64; do
  command -v "$tool" >/dev/null 2>&1 && continue
  echo "bench.sh: $tool is missing (tools/windows/windows.sh test installs what is needed)" >&2
  exit 1
done

build_bench() {  # 64|32
  local dir="$BUILD/win$1"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw$1.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DQV_BENCH=OFF >/dev/null || return 1
  fi
  log "building build/win$1"
  cmake --build "$dir" -j "$JOBS" --target LNSQuilletVexaProxy QuilletSimComponents quillet-bench-win \
    >"$dir/bench-build.log" 2>&1 || { tail -30 "$dir/bench-build.log"; return 1; }
}

registered() {  # dll: whether the prefix's machine part names it already
  local win
  win="$(winpath "$1")"
  grep -qiF "${win//\\/\\\\}" "$WINEPREFIX/system.reg" 2>/dev/null
}

# Lines "first SIDE TOTAL;PHASE=US;..." (microseconds) as a table of medians.
first_table() {  # file
  awk -F';' '
    function median(key,   n, i, j, t, v) {
      n = cnt[key]
      for (i = 1; i <= n; i++) v[i] = val[key, i]
      for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    function add(key, us) { if (!(key in cnt)) order[++keys] = key; val[key, ++cnt[key]] = us }
    {
      split($1, head, " "); side = head[2]; add(side SUBSEP "total", head[3])
      for (f = 2; f <= NF; f++) { split($f, kv, "="); add(side SUBSEP kv[1], kv[2]) }
    }
    END {
      if (!keys) { print "No first session gave figures."; exit }
      split(order[1], k, SUBSEP)
      printf "The first session of a fresh process, %d processes a side, the sides in turn (medians):\n\n", cnt[order[1]]
      print "| first session | median |"; print "|---|---|"
      for (i = 1; i <= keys; i++) {
        split(order[i], k, SUBSEP)
        name = (k[1] == "dll" ? "DLL" : "baseline") ": " (k[2] == "total" ? "whole first session" : k[2])
        printf "| %s | %.2f ms |\n", name, median(order[i]) / 1000
      }
      if (("dll" SUBSEP "total") in cnt && ("baseline" SUBSEP "total") in cnt)
        printf "\nRatio DLL / baseline for the first session: %.2fx by median.\n",
          median("dll" SUBSEP "total") / median("baseline" SUBSEP "total")
    }' "$1"
}

# Figures of one bitness in $BUILD/bench-windows-BITS.md; 2 when that Wine is missing.
bench_bitness() {  # 64|32
  local bits="$1" bin="$BUILD/win$1/bin" raw="$BUILD/bench-windows-$1.md" rc i side
  rm -f "$raw"
  if [ "$bits" = 32 ] && ! installed wine32:i386; then
    echo "32-bit Wine (wine32:i386) is not installed: the 32-bit DLL is not measured." | tee "$raw"
    return 2
  fi
  build_bench "$bits" || return 1
  use_prefix "$bits" || { echo "the $bits-bit Wine prefix could not be made: not measured" | tee "$raw"; return 2; }
  # Without a window manager Wine waits about 2 s whenever a managed top-level window hides.
  grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null ||
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  registered "$bin/LNSQuilletVexaProxy.dll" || register "$bin/LNSQuilletVexaProxy.dll" ||
    { echo "bench.sh: regsvr32 LNSQuilletVexaProxy.dll failed" >&2; return 1; }
  registered "$bin/QuilletSimComponents.dll" || register_sim "$bin/QuilletSimComponents.dll" ||
    { echo "bench.sh: QuilletSimComponents.dll could not be registered" >&2; return 1; }

  log "display session under $bits-bit Wine: LNSQuilletVexaProxy.dll against a bare Win32 baseline"
  local load cpu
  load="$(cut -d' ' -f1 /proc/loadavg)"
  {
    cpu="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
    echo "### $bits-bit"
    echo
    echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores; $("$WINE" --version 2>/dev/null), $bits-bit prefix, Xvfb 1280x1024x24"
    echo "without a window manager; build/win$bits (MinGW-w64, Release); load average $load at the start;"
    echo "$(date -u '+%Y-%m-%d %H:%M UTC')."
    echo
  } >"$raw"
  timeout 1200 "$WINE" "$bin/quillet-bench-win.exe" "${ARGS[@]}" 2>&1 | tr -d '\r' >>"$raw"
  rc=${PIPESTATUS[0]}
  if [ "$rc" -ne 0 ] || ! grep -q '^Ratio DLL / baseline' "$raw"; then
    cat "$raw"
    echo "bench.sh: the $bits-bit benchmark gave no figures (exit code $rc)" >&2
    return 1
  fi
  # The first session of a process: each in a fresh one, the two sides in turn.
  local firsts="$BUILD/win$bits/bench-firsts.txt"
  : >"$firsts"
  for i in $(seq "$FIRSTS"); do
    for side in dll baseline; do
      [ $((i % 2)) -eq 0 ] && { [ "$side" = dll ] && side=baseline || side=dll; }
      timeout 300 "$WINE" "$bin/quillet-bench-win.exe" --first "$side" 2>&1 | tr -d '\r' | grep '^first ' >>"$firsts"
    done
  done
  first_table "$firsts" >>"$raw"
  cat "$raw"
}

start_xvfb || exit 1
status=0
{
  echo "## Under Wine"
  echo
  echo "The baseline makes the same windows with bare Win32 calls: the form with its menu bar, the four frames and"
  echo "fraButtons, both list views with their columns, the tree, the labels, the buttons with the feature buttons,"
  echo "the status bar with two panels and its progress bar, the grab area and splitter bar, and the simulated"
  echo "workspace control in atl.dll's AtlAxWin; then destroys them."
} >"$OUT.part"
for bits in 64 32; do
  bench_bitness "$bits"
  rc=$?
  [ "$rc" -eq 1 ] && status=1
  [ -f "$BUILD/bench-windows-$bits.md" ] && { echo; cat "$BUILD/bench-windows-$bits.md"; } >>"$OUT.part"
  WINEPREFIX="$WINEPREFIX" wineserver -w >/dev/null 2>&1 || true
done
# Both ratios together, where each was measured.
{
  echo
  echo "| bitness | session ratio DLL / baseline | messages DLL / baseline | first session ratio |"
  echo "|---|---|---|---|"
  for bits in 64 32; do
    raw="$BUILD/bench-windows-$bits.md"
    ratio="$(grep -m1 '^Ratio DLL / baseline:' "$raw" 2>/dev/null | sed 's/^Ratio DLL \/ baseline: //; s/;.*//')"
    msgs="$(grep -m1 '^Messages sent' "$raw" 2>/dev/null | sed -E 's/.*DLL ([0-9]+), baseline ([0-9]+).*/\1 \/ \2/')"
    first="$(grep -m1 '^Ratio DLL / baseline for the first' "$raw" 2>/dev/null | sed 's/.*: //; s/\.$//')"
    echo "| $bits-bit | ${ratio:-not measured} | ${msgs:-not measured} | ${first:-not measured} |"
  done
} | tee -a "$OUT.part"
mv "$OUT.part" "$OUT"
echo "== wrote build/bench-windows.md"
exit $status
