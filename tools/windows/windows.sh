#!/usr/bin/env bash
# The Windows DLL under Wine.
#   windows.sh test           install what is missing, cross-build the 64- and 32-bit DLLs, register
#                             them in private Wine prefixes and run the Windows tests
#   windows.sh demo [args]    the demo host with the real DLL and real windows under Wine; saves
#                             PNG screenshots in build/screenshots (args go to the host;
#                             --screenshot FILE.bmp also saves the display window there)
# Build folders: build/win64, build/win32; Wine prefixes: build/wine64-prefix, build/wine32-prefix.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="$ROOT/build"
JOBS="$(nproc 2>/dev/null || echo 2)"
export WINEDEBUG=-all

# fonts-wine: Tahoma and Marlett, so that captions and title-bar buttons look as on Windows.
PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools wine wine64 xvfb xauth libwine-dev
  fonts-wine)

log() { echo "== $*"; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

apt_update_once() {
  if [ ! -f "$BUILD/.apt-updated" ]; then
    apt-get update -qq >/dev/null 2>&1 || true
    mkdir -p "$BUILD" && touch "$BUILD/.apt-updated"
  fi
}

need_packages() {  # [extra packages...]
  local missing=()
  for p in "${PACKAGES[@]}" "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    return 1
  fi
  log "installing: ${missing[*]}"
  apt_update_once
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# 32-bit Wine comes from the i386 architecture; once per machine, and never a reason to fail.
try_wine32() {
  installed wine32:i386 && return 0
  [ "$(id -u)" -eq 0 ] || return 1
  [ -f "$BUILD/.wine32-tried" ] && return 1
  mkdir -p "$BUILD" && touch "$BUILD/.wine32-tried"
  log "trying 32-bit Wine (wine32:i386)"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386 || return 1
    rm -f "$BUILD/.apt-updated"
  fi
  apt_update_once
  DEBIAN_FRONTEND=noninteractive timeout 300 apt-get install -y -qq wine32:i386 >/dev/null 2>&1 || {
    echo "   wine32:i386 could not be installed: the 32-bit DLL is built but not run"
    return 1
  }
  installed wine32:i386
}

build_dir() {  # 64|32
  local bits="$1" dir="$BUILD/win$1"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw$bits.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DQV_BENCH=OFF >/dev/null || return 1
  fi
  log "building build/win$bits"
  local rc=0
  cmake --build "$dir" -j "$JOBS" >"$dir/build.log" 2>&1 || rc=$?
  grep -v '^\[[0-9]*/[0-9]*\] \(Building\|Linking\|Generating\|Compiling\)' "$dir/build.log" | sed 's/^/   /'
  return $rc
}

winpath() { local p="${1//\//\\}"; echo "Z:$p"; }

XVFB_PID=""
PREFIXES_USED=()
cleanup() {
  for p in "${PREFIXES_USED[@]}"; do WINEPREFIX="$p" wineserver -k >/dev/null 2>&1 || true; done
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb() {
  local d
  for d in $(seq 90 140); do
    [ -e "/tmp/.X$d-lock" ] || [ -e "/tmp/.X11-unix/X$d" ] && continue
    Xvfb ":$d" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$d" ] && { export DISPLAY=":$d"; return 0; }
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    XVFB_PID=""
  done
  echo "no X display could be started" >&2
  return 1
}

# WINE and WINEPREFIX for one bitness; created with wineboot once and reused.
use_prefix() {  # 64|32 [prefix folder]
  local bits="$1"
  export WINEPREFIX="${2:-$BUILD/wine$bits-prefix}"
  if [ "$bits" = 64 ]; then
    WINE=/usr/lib/wine/wine64
    [ -x "$WINE" ] || WINE="$(command -v wine64 || command -v wine)"
    export WINEARCH=win64
  else
    WINE=/usr/lib/wine/wine
    [ -x "$WINE" ] || return 1
    export WINEARCH=win32
  fi
  PREFIXES_USED+=("$WINEPREFIX")
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating the Wine prefix ${WINEPREFIX#"$ROOT/"}"
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" timeout 600 "$WINE" wineboot -i >/dev/null 2>&1
    # Without a window manager Wine waits about 2 s whenever a managed top-level window hides.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    WINEPREFIX="$WINEPREFIX" wineserver -w
  fi
  [ -f "$WINEPREFIX/system.reg" ] || return 1
  # There is no window manager either to draw title bars: Wine draws them itself.
  if ! grep -q '^"Decorated"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    WINEPREFIX="$WINEPREFIX" wineserver -w
  fi
  # Wine finds the fonts of a package installed after the prefix was made only in the prefix.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" f
  for f in /usr/share/wine/fonts/*.ttf; do
    [ -f "$f" ] && [ ! -f "$fonts/${f##*/}" ] && { mkdir -p "$fonts"; cp "$f" "$fonts/"; }
  done
  return 0
}

PASSED=0
FAILED=0
SKIPPED=0
count() {  # name, output file, exit code: adds the program's counts
  local name="$1" out="$2" rc="$3" line p f s
  line="$(tr -d '\r' <"$out" | grep -E '[0-9]+ passed, [0-9]+ failed' | tail -1)"
  if [ -n "$line" ]; then
    p="$(grep -oE '[0-9]+ passed' <<<"$line" | grep -oE '[0-9]+')"
    f="$(grep -oE '[0-9]+ failed' <<<"$line" | grep -oE '[0-9]+')"
    s="$(grep -oE '[0-9]+ skipped' <<<"$line" | grep -oE '[0-9]+')"
  else
    p="$(tr -d '\r' <"$out" | grep -c '^\[ OK \]')"
    f="$(tr -d '\r' <"$out" | grep -c '^\[FAIL\]')"
    s=0
    [ "$p" -eq 0 ] && [ "$f" -eq 0 ] && { [ "$rc" -eq 0 ] && p=1 || f=1; }
  fi
  # A program that crashed or failed without saying so counts as a failure.
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; echo "   $name ended with exit code $rc"; fi
  PASSED=$((PASSED + p)); FAILED=$((FAILED + f)); SKIPPED=$((SKIPPED + ${s:-0}))
}

run_test() {  # name, timeout seconds, command...
  local name="$1" limit="$2"; shift 2
  local out="$BUILD/win$BITS/$name.log" rc
  log "$name ($BITS-bit)"
  timeout "$limit" "$@" >"$out" 2>&1
  rc=$?
  tr -d '\r' <"$out" | sed 's/^/   /'
  count "$name" "$out" "$rc"
}

# One process a case: the process's exit code is the case's verdict, and a fault reported while
# it ends (the DLLs unloading) fails the case too.
run_exit_cases() {  # program
  local exe="$1" name out rc fault names
  log "exit_host_test ($BITS-bit)"
  names="$("$WINE" "$exe" list 2>/dev/null | tr -d '\r')"
  if [ -z "$names" ]; then
    echo "   [FAIL] exit_host_test listed no cases"
    FAILED=$((FAILED + 1))
    return
  fi
  for name in $names; do
    out="$BUILD/win$BITS/exit_host_test.$name.log"
    # Without the debugger a fault ends the process at once, with the fault's code.
    WINEDLLOVERRIDES="winedbg.exe=d" timeout 300 "$WINE" "$exe" "$name" >"$out" 2>&1
    rc=$?
    tr -d '\r' <"$out" | sed 's/^/   /'
    fault=""
    grep -qiE 'unhandled|page fault|exception' "$out" && fault=", a fault was reported"
    if [ "$rc" -eq 0 ] && [ -z "$fault" ]; then
      echo "   [ OK ] $name (exit code 0)"
      PASSED=$((PASSED + 1))
    else
      echo "   [FAIL] $name (exit code $rc$fault)"
      FAILED=$((FAILED + 1))
    fi
  done
}

register() {  # dll: regsvr32, silently
  "$WINE" regsvr32 /s "$(winpath "$1")" >/dev/null 2>&1
}

# The simulated components register per user only (HKEY_CURRENT_USER\Software\Classes), as on a
# development machine that also holds the real LNS software.
register_sim() {  # dll
  "$WINE" regsvr32 /s /n /i:user "$(winpath "$1")" >/dev/null 2>&1 || return 1
  com_reads_user_classes && return 0
  # Windows shows its processes the per-user classes over the machine's; Wine's COM (8.0) reads the
  # machine part only. This private prefix holds no other software: the per-user classes are copied
  # into its machine part for the tests.
  echo "   Wine's COM does not read per-user classes: copying them into the prefix's machine part"
  local f="$WINEPREFIX/user-classes.reg"
  "$WINE" reg export 'HKCU\Software\Classes' "$(winpath "$f")" /y >/dev/null 2>&1 || return 1
  # reg export writes UTF-16; the byte-order mark passes through iconv unchanged.
  iconv -f UTF-16LE -t UTF-8 "$f" |
    sed 's/^\[HKEY_CURRENT_USER\\Software\\Classes/[HKEY_LOCAL_MACHINE\\Software\\Classes/' |
    iconv -f UTF-8 -t UTF-16LE >"$f.machine" || return 1
  "$WINE" reg import "$(winpath "$f.machine")" >/dev/null 2>&1 || return 1
  rm -f "$f" "$f.machine"
  com_finds QuilletSim.Control
}

# Asked through a ProgID that exists per user only: the prefix's machine part may still hold the
# classes from an earlier run.
com_reads_user_classes() {
  local probe='HKCU\Software\Classes\QuilletSim.PerUserProbe' r
  "$WINE" reg copy 'HKCU\Software\Classes\QuilletSim.Control' "$probe" /s /f >/dev/null 2>&1 || return 1
  com_finds QuilletSim.PerUserProbe
  r=$?
  "$WINE" reg delete "$probe" /f >/dev/null 2>&1
  return $r
}

com_finds() {  # progid: whether a script can create it
  local vbs="$WINEPREFIX/com-finds.vbs"
  printf 'On Error Resume Next\r\nCreateObject "%s"\r\nWScript.Quit Err.Number <> 0\r\n' "$1" >"$vbs"
  "$WINE" cscript //nologo "$(winpath "$vbs")" >/dev/null 2>&1
}

# The host guide's C++ host finds both DLLs through its application manifest and their
# side-by-side assembly manifests, in a prefix of its own where nothing of ours was ever registered.
test_regfree() {
  local bin="$BUILD/win$BITS/bin" prefix="$BUILD/wine$BITS-regfree-prefix"
  [ -f "$bin/cpp_host.exe" ] || return 0
  # The class ids of IHalvernServer, the simulated plug-in server and the simulated components' library.
  if grep -qiE '2F6F0101-24E5-45F4|A92F83C3-5024-4537|3EB231A4-59EF-4E2A' "$prefix"/*.reg 2>/dev/null; then
    rm -rf "$prefix"
  fi
  if ! use_prefix "$BITS" "$prefix"; then
    echo "   the registration-free Wine prefix could not be created"
    FAILED=$((FAILED + 1))
    return
  fi
  run_test cpp_host 300 "$WINE" "$bin/cpp_host.exe"
  run_test trace_check 600 bash "$ROOT/tests/windows/trace_check.sh" "$WINE" "$bin/cpp_host.exe" "$BUILD/win$BITS/trace"
  if grep -qiE '2F6F0101-24E5-45F4|A92F83C3-5024-4537|3EB231A4-59EF-4E2A' "$prefix"/*.reg; then
    echo "   [FAIL] the registration-free session registered something of ours"
    FAILED=$((FAILED + 1))
  fi
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
}

test_bitness() {  # 64|32
  BITS="$1"
  local bin="$BUILD/win$BITS/bin" dll sim
  dll="$bin/LNSQuilletVexaProxy.dll"
  sim="$bin/QuilletSimComponents.dll"
  if ! register "$dll"; then
    echo "   regsvr32 LNSQuilletVexaProxy.dll failed"
    FAILED=$((FAILED + 1))
    return
  fi
  EXERCISED+=("win$BITS/LNSQuilletVexaProxy.dll")
  run_test registry 300 bash "$ROOT/tests/windows/registry_check.sh" "$WINE" "$dll" "$BITS"
  if [ -f "$sim" ]; then
    run_test sim_registry 300 bash "$ROOT/tests/windows/sim_registry_check.sh" "$WINE" "$sim" \
      "$ROOT/simcom/QuilletSim.idl" "$BITS"
    if register_sim "$sim"; then
      EXERCISED+=("win$BITS/QuilletSimComponents.dll")
    else
      echo "   regsvr32 /n /i:user QuilletSimComponents.dll failed, or COM does not find its classes"
      FAILED=$((FAILED + 1))
    fi
  fi
  local other="$BUILD/win$((96 - BITS))/bin/LNSQuilletVexaProxy.dll"
  [ -f "$other" ] && READ_AS_DATA+=("win$((96 - BITS))/LNSQuilletVexaProxy.dll (type library)")
  run_test com_host_test 300 "$WINE" "$bin/com_host_test.exe" "$([ -f "$other" ] && winpath "$other")"
  run_test host.vbs 300 "$WINE" cscript //nologo "$(winpath "$ROOT/tests/windows/host.vbs")"
  [ -f "$sim" ] && run_test session.vbs 300 "$WINE" cscript //nologo "$(winpath "$ROOT/docs/examples/session.vbs")"
  [ -f "$bin/display_test.exe" ] && [ -f "$sim" ] && run_test display_test 600 "$WINE" "$bin/display_test.exe"
  [ -f "$bin/exit_host_test.exe" ] && [ -f "$sim" ] && run_exit_cases "$bin/exit_host_test.exe"
  [ -f "$bin/ui_backend_test.exe" ] && run_test ui_backend_test 600 "$WINE" "$bin/ui_backend_test.exe"
  # A fixed seed and count: the same calls every run (invoke_fuzz_test.exe SEED COUNT replays others).
  [ -f "$bin/invoke_fuzz_test.exe" ] && [ -f "$sim" ] &&
    run_test invoke_fuzz_test 300 "$WINE" "$bin/invoke_fuzz_test.exe" 1729 15000
  [ -f "$bin/qv_adapters_test.exe" ] && [ -f "$sim" ] &&
    run_test qv_adapters_test 600 "$WINE" "$bin/qv_adapters_test.exe" "$(winpath "$sim")"
  WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  test_regfree
}

cmd="${1:-test}"
shift || true
case "$cmd" in
  test)
    need_packages || { echo "windows: 0 passed, 1 failed"; exit 1; }
    have32=0
    try_wine32 && have32=1
    status=0
    build_dir 64 || status=1
    build_dir 32 || status=1
    [ $status -eq 0 ] || { echo "windows: 0 passed, 1 failed"; exit 1; }
    start_xvfb || { echo "windows: 0 passed, 1 failed"; exit 1; }
    EXERCISED=()
    READ_AS_DATA=()
    if use_prefix 64; then
      test_bitness 64
    else
      echo "   the 64-bit Wine prefix could not be created"
      FAILED=$((FAILED + 1))
    fi
    if [ $have32 -eq 1 ] && use_prefix 32; then
      test_bitness 32
    else
      echo "   32-bit Wine is not available: build/win32/bin/LNSQuilletVexaProxy.dll was built, not run"
    fi
    echo "DLLs exercised under Wine: ${EXERCISED[*]:-none}"
    [ ${#READ_AS_DATA[@]} -gt 0 ] && echo "read as data by the other bitness' host: ${READ_AS_DATA[*]}"
    if [ "$SKIPPED" -gt 0 ]; then
      echo "windows: $PASSED passed, $FAILED failed, $SKIPPED skipped"
    else
      echo "windows: $PASSED passed, $FAILED failed"
    fi
    [ "$FAILED" -eq 0 ]
    ;;
  demo)
    # imagemagick turns the host's BMP screenshots into PNG.
    need_packages imagemagick || exit 1
    build_dir 64 || exit 1
    start_xvfb || exit 1
    use_prefix 64 || exit 1
    bin="$BUILD/win64/bin"
    register "$bin/LNSQuilletVexaProxy.dll" || { echo "regsvr32 failed" >&2; exit 1; }
    [ -f "$bin/QuilletSimComponents.dll" ] && register_sim "$bin/QuilletSimComponents.dll"
    shots="$BUILD/screenshots"
    rm -rf "$shots" && mkdir -p "$shots"
    args=(--shots "$(winpath "$shots")")
    extra=""
    while [ $# -gt 0 ]; do
      case "$1" in
        --screenshot)
          extra="$(realpath -m "$2")"
          # The host writes BMP; a .png name gets converted.
          case "$extra" in *.png|*.PNG) args+=("$1" "$(winpath "$shots/display.bmp")") ;; *) args+=("$1" "$(winpath "$extra")"); extra="" ;; esac
          shift 2 ;;
        *) args+=("$1"); shift ;;
      esac
    done
    "$WINE" "$bin/quillet-demo-win.exe" "${args[@]}" 2>&1 | tr -d '\r'
    rc="${PIPESTATUS[0]}"
    saved=()
    if [ -n "$extra" ] && [ -f "$shots/display.bmp" ]; then
      convert "$shots/display.bmp" "$extra" && rm -f "$shots/display.bmp" && saved+=("$extra")
    fi
    for bmp in "$shots"/*.bmp; do
      [ -f "$bmp" ] || continue
      convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp" && saved+=("${bmp%.bmp}.png")
    done
    if [ ${#saved[@]} -gt 0 ]; then
      echo
      echo "screenshots:"
      printf '  %s\n' "${saved[@]#"$ROOT/"}"
    fi
    exit "$rc"
    ;;
  *)
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
