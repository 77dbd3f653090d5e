#!/usr/bin/env bash
# The system folders include one another only downwards: no include circle between two of them,
# and none of them reaches a backend, the simulations or windows.h. Prints what breaks the rule.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
SYSTEM=(host mainwindow commands workspace tree common session)
FORBIDDEN='^#include [<"](headless|win32|sim|simcom)/|^#include <windows\.h>'

status=0
edges="$(mktemp)"
trap 'rm -f "$edges"' EXIT
for from in "${SYSTEM[@]}"; do
  for file in "$from"/*.h "$from"/*.cpp; do
    [ -f "$file" ] || continue
    if grep -nE "$FORBIDDEN" "$file" | sed "s|^|$file:|"; then status=1; fi
    grep -oE '^#include "[a-z]+/' "$file" | sed -E 's/^#include "([a-z]+)\//\1/' | while read -r to; do
      [ "$to" = "$from" ] && continue
      for s in "${SYSTEM[@]}"; do [ "$s" = "$to" ] && echo "$from $to $file"; done
    done
  done
done >"$edges"

# tsort names the folders of a circle on its error output.
if ! cut -d' ' -f1,2 "$edges" | sort -u | tsort >/dev/null 2>"$edges.loop"; then
  echo "include circle between system folders:"
  grep -v 'input contains a loop' "$edges.loop" | sed 's/^tsort: /  /'
  echo "includes that take part:"
  loop="$(grep -v 'input contains a loop' "$edges.loop" | sed 's/^tsort: //' | tr '\n' ' ')"
  while read -r from to file; do
    case " $loop " in *" $from "*) case " $loop " in *" $to "*) echo "  $file -> $to/" ;; esac ;; esac
  done <"$edges"
  status=1
fi
rm -f "$edges.loop"
[ $status -eq 0 ] && echo "layers: $(cut -d' ' -f1,2 "$edges" | sort -u | tsort | tr '\n' ' ')"
exit $status
