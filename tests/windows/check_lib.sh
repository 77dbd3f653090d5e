# What the registry checks share: WINE DLL [IDL] BITS from their arguments, the DLL's Windows path
# and the cases' count.   . check_lib.sh "$@"
set -uo pipefail
WINE="$1"
DLL="$2"
BITS="${*: -1}"
WINDLL="Z:${DLL//\//\\}"
PLATFORM=win64
[ "$BITS" = 32 ] && PLATFORM=win32

passed=0
failed=0
case_ok=1
check() {  # description, actual, expected
  if [ "$2" == "$3" ]; then return; fi
  case_ok=0
  echo "    $1: got '$2', expected '$3'"
}
end_case() {
  if [ $case_ok -eq 1 ]; then passed=$((passed + 1)); echo "[ OK ] $1"; else failed=$((failed + 1)); echo "[FAIL] $1"; fi
  case_ok=1
}
finish() {  # name
  echo "$1: $passed passed, $failed failed"
  [ $failed -eq 0 ]
}
