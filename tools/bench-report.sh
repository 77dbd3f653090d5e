#!/usr/bin/env bash
# Runs the benchmarks, prints the table and writes bench/results.md with the machine's description.
#   tools/bench-report.sh <bench binary> [extra benchmark arguments]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BIN="$1"; shift
JSON="$(mktemp)"
NOTE="$(mktemp)"
trap 'rm -f "$JSON" "$NOTE"' EXIT
# The written analysis at the end of the file (from its heading on) outlives the figures above it.
sed -n '/^## Where the time goes under Wine/,$p' "$ROOT/bench/results.md" 2>/dev/null >"$NOTE"
"$BIN" --benchmark_out="$JSON" --benchmark_out_format=json "$@"

cpu="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
mem="$(free -h | awk '/^Mem:/{print $2}')"
{
  echo "# Benchmark results"
  echo
  echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, ${mem} memory; $(uname -sr); $(date -u '+%Y-%m-%d %H:%M UTC')."
  echo "Native build (RelWithDebInfo), headless platform, simulated outside components, virtual clock:"
  echo "the designed 1000 ms and 250 ms waits cost nothing here."
  echo
  echo "| benchmark | CPU time | iterations | notes |"
  echo "|---|---|---|---|"
  python3 - "$JSON" <<'PY'
import json, sys
skip = {"name", "family_index", "per_family_instance_index", "run_name", "run_type", "repetitions",
        "repetition_index", "threads", "iterations", "real_time", "cpu_time", "time_unit", "label"}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    extra = " ".join(f"{k}={v:g}" for k, v in b.items() if k not in skip and isinstance(v, (int, float)))
    notes = " ".join(x for x in (b.get("label", ""), extra) if x)
    print(f"| {b['name']} | {b['cpu_time']:.3g} {b['time_unit']} | {b['iterations']} | {notes} |")
PY
  echo
  echo "Targets: a full host session under 200 us, a status tick under 5 us, no allocation in the"
  echo "conversions beyond their result (allocs/call = 1 for a result longer than the short-string buffer),"
  echo "resident size flat after warm-up."
  if [ -f "$ROOT/build/bench-windows.md" ]; then
    echo
    cat "$ROOT/build/bench-windows.md"
  fi
  if [ -s "$NOTE" ]; then
    echo
    cat "$NOTE"
  fi
} > "$ROOT/bench/results.md"
echo
cat "$ROOT/bench/results.md"
