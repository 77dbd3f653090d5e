#!/usr/bin/env bash
# The trace of outside calls in a real host: turned on by the environment and by the per-user
# registry value, written to the named file and to the debugger's output, and off by default.
#   trace_check.sh WINE HOST.exe WORKDIR     (WINEPREFIX set; the host runs one whole session)
set -uo pipefail
WINE="$1" HOST="$2" WORK="$3"
KEY='HKCU\Software\Norvale\LNSQuilletVexaProxy'
passed=0 failed=0
check() {  # condition-status, name
  if [ "$1" -eq 0 ]; then echo "[ OK ] $2"; passed=$((passed + 1)); else echo "[FAIL] $2"; failed=$((failed + 1)); fi
}
winpath() { local p="${1//\//\\}"; echo "Z:$p"; }
# What a whole session writes: the host's calls with their results, the outside calls, a notification.
records() {  # file
  grep -qE '^#[0-9]+ host +IHalvernServer\.StartApp\(object, object, 3\.2, True, "Host Example Display", .*\) = True ok, [0-9.]+ ms' "$1" &&
    grep -qE 'host +IHalvernServer\.RunFullAppView\(\) = -1 ok' "$1" &&
    grep -qE 'call +PluginServer\.LoadDevice\(object, object, True, True\) = True ok' "$1" &&
    grep -qE 'event +PluginServer\.WorkspaceAvailable\("QuilletSim\.Workspace"\) ok' "$1" &&
    grep -qE 'host +IHalvernServer\.OnAppExit\(\) ok' "$1" &&
    grep -qE 'host +IHalvernServer\.ExitApp\(\) ok' "$1"
}
mkdir -p "$WORK"
rm -f "$WORK"/trace-*.txt
"$WINE" reg delete "$KEY" /f >/dev/null 2>&1

QUILLET_TRACE=1 QUILLET_TRACE_FILE="$(winpath "$WORK/trace-env.txt")" WINEDEBUG=-all,+debugstr \
  "$WINE" "$HOST" >"$WORK/trace-env.out" 2>"$WORK/trace-env.err"
check $? "the host's session with QUILLET_TRACE=1"
records "$WORK/trace-env.txt"
check $? "QUILLET_TRACE_FILE holds the session's records"
grep -q 'LNSQuilletVexaProxy: #[0-9]* host *IHalvernServer\.StartApp(' "$WORK/trace-env.err"
check $? "the records go to OutputDebugString too"

"$WINE" reg add "$KEY" /v Trace /t REG_DWORD /d 1 /f >/dev/null 2>&1 &&
  "$WINE" reg add "$KEY" /v TraceFile /d "$(winpath "$WORK/trace-reg.txt")" /f >/dev/null 2>&1
"$WINE" "$HOST" >"$WORK/trace-reg.out" 2>&1
check $? "the host's session with the registry value Trace = 1"
records "$WORK/trace-reg.txt"
check $? "the registry's TraceFile holds the session's records"
QUILLET_TRACE=0 "$WINE" "$HOST" >/dev/null 2>&1
[ "$(grep -c 'StartApp' "$WORK/trace-reg.txt")" -eq 1 ]
check $? "QUILLET_TRACE=0 turns off what the registry turns on"
"$WINE" reg delete "$KEY" /f >/dev/null 2>&1

"$WINE" "$HOST" >/dev/null 2>&1
[ ! -e "$WORK/trace-env.txt.off" ] && [ "$(grep -c 'StartApp' "$WORK/trace-env.txt")" -eq 1 ]
check $? "off by default: nothing more is written"
echo "trace_check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
