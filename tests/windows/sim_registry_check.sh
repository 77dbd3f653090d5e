#!/usr/bin/env bash
# QuilletSimComponents.dll registers per user only: what regsvr32 writes and removes, read back from
# the registry files of the Wine prefix in $WINEPREFIX. user.reg (HKEY_CURRENT_USER) gets the classes,
# ProgIDs, type library and the library's own interfaces, and loses them again; system.reg (the
# machine part, where the real plug-in server and LNS software live) comes through unchanged, a
# machine-wide registration of the plug-in server class included. Leaves the DLL unregistered and
# the machine part as it found it.
#   sim_registry_check.sh WINE DLL IDL BITS
. "$(dirname "${BASH_SOURCE[0]}")/check_lib.sh" "$@"
IDL="$3"
: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix}"

PLUGIN_SERVER='{A92F83C3-5024-4537-8C26-5226B0E26A1C}'
REAL_SERVER='C:\real\LNSPIServer.dll'
OTHER_COPY='C:\other\QuilletSimComponents.dll'
# Interfaces of other products that the library describes under their ids: the automation runtime's
# collection, the LNS AppDevice and System, the network-services device object and its link, the
# plug-in server and its workspaces.
FOREIGN=(A4C46780-499F-101B-BB78-00AA00383CBB 858097EA-2365-11CF-9AE0-0020AFD34749
  2B6A7522-186E-11CF-9AE0-0020AFD34749 4D54538C-2098-49D8-989B-A7F5A8047872
  4C725D56-5B85-11D5-8DE3-00C04F5CAAEE 4846498C-B2DE-4BC7-A67C-BFB32309B49B
  EBE98ECD-B43D-11D4-8DD5-00C04F5CAAEE 87CE42D9-22ED-436C-B599-CC969BB9AADC)

# The ids the IDL gives its library, coclasses and interfaces.
ids_of() {  # library|coclass|interface
  awk -v kind="$1" '
    match($0, /uuid\([0-9A-Fa-f-]+\)/) { id = toupper(substr($0, RSTART + 5, RLENGTH - 6)) }
    $1 ~ /^(library|coclass|interface|dispinterface)$/ && !($1 ~ /interface$/ && /;/) {
      if ((kind == "interface" ? $1 ~ /interface$/ : $1 == kind) && id != "") print id
      id = ""
    }' "$IDL"
}
LIBID="{$(ids_of library)}"
mapfile -t CLASSES < <(ids_of coclass)
OWNED=()
PROGIDS=()
while read -r iid; do
  [[ " ${FOREIGN[*]} " == *" $iid "* ]] || OWNED+=("$iid")
done < <(ids_of interface)

# The registry files are written when the server ends.
flush() { wineserver -w; }
wreg() { "$WINE" reg "$@" >/dev/null 2>&1; }
regsvr() { "$WINE" regsvr32 /s "$@" "$WINDLL" >/dev/null 2>&1; }

# system.reg without what Wine rewrites by itself: key and #time stamps, and the keys of the devices
# its graphics driver sets up again whenever a process opens the display.
machine_state() {
  awk '
    /^\[/ {
      skip = $0 ~ /^\[System\\\\CurrentControlSet\\\\(Enum|Control\\\\(Class|DeviceClasses|Video))\\\\/
      if (!skip) { sub(/\] [0-9]+$/, "]"); print }
      next
    }
    skip || /^#time=/ { next }
    { print }' "$WINEPREFIX/system.reg"
}

# A string value from a registry file: "<missing>" without the key, "<no value>" without the value.
# The key is given as under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE, e.g. Software\Classes\CLSID\{..}.
file_value() {  # file key [name]
  # Through the environment: awk -v would read the backslashes as escapes.
  KEY="$2" NAME="${3:-@}" awk '
    function unescape(s) { gsub(/\\\\/, "\001", s); gsub(/\\"/, "\"", s); gsub(/\001/, "\\", s); return s }
    /^\[/ {
      k = $0; sub(/^\[/, "", k); sub(/\] [0-9]+$/, "", k); sub(/\]$/, "", k); gsub(/\\\\/, "\\", k)
      inside = tolower(k) == tolower(ENVIRON["KEY"]); if (inside) found = 1; next
    }
    inside {
      name = ENVIRON["NAME"]; want = name == "@" ? "@=\"" : "\"" name "\"=\""
      if (index($0, want) == 1) { v = substr($0, length(want) + 1); sub(/"$/, "", v); value = unescape(v); got = 1 }
    }
    END { if (!found) print "<missing>"; else if (!got) print "<no value>"; else print value }' "$1"
}
user_value() { file_value "$WINEPREFIX/user.reg" "Software\\Classes\\$1" "${2:-@}"; }
machine_value() { file_value "$WINEPREFIX/system.reg" "Software\\Classes\\$1" "${2:-@}"; }
user_has() { [ "$(user_value "$1")" != "<missing>" ] && echo yes || echo no; }
# Interface keys of an id anywhere in a registry file (also under Wow6432Node).
interface_keys() { grep -ciF "Interface\\\\{$2}" "$1"; }  # file id

# The per-user and machine-wide views of the plug-in server class, for the log.
show_plugin_server() {  # stage
  echo "    $1: machine CLSID\\$PLUGIN_SERVER\\InprocServer32 = $(machine_value "CLSID\\$PLUGIN_SERVER\\InprocServer32")"
  echo "    $1: per-user CLSID\\$PLUGIN_SERVER\\InprocServer32 = $(user_value "CLSID\\$PLUGIN_SERVER\\InprocServer32")"
}

machine_unchanged() {  # description, reference file
  local changes
  changes="$(diff "$2" <(machine_state))"
  [ -z "$changes" ] && return
  check "$1" "$(wc -l <<<"$changes") changed lines in system.reg" "none"
  head -20 <<<"$changes" | sed 's/^/      /'
}

registered_per_user() {  # checks every class and its ProgID in user.reg, naming this DLL
  local id progid
  for id in "${CLASSES[@]}"; do
    check "class {$id} server" "$(user_value "CLSID\\{$id}\\InprocServer32")" "$WINDLL"
    check "class {$id} threading model" "$(user_value "CLSID\\{$id}\\InprocServer32" ThreadingModel)" "Apartment"
    progid="$(user_value "CLSID\\{$id}\\ProgID")"
    check "ProgID $progid of {$id}" "$(user_value "$progid\\CLSID")" "{$id}"
  done
}

nothing_per_user() {  # checks that no key of the DLL is left in user.reg
  local id progid
  for id in "${CLASSES[@]}"; do check "class key {$id}" "$(user_has "CLSID\\{$id}")" no; done
  for progid in "${PROGIDS[@]}"; do check "ProgID key $progid" "$(user_has "$progid")" no; done
  check "type library key" "$(user_has "TypeLib\\$LIBID")" no
  for id in "${OWNED[@]}"; do check "interface key {$id}" "$(user_has "Interface\\{$id}")" no; done
}

no_foreign_interfaces() {
  local id
  for id in "${FOREIGN[@]}"; do check "per-user interface key {$id}" "$(interface_keys "$WINEPREFIX/user.reg" "$id")" 0; done
}

scratch="$(mktemp -d)"
saved_server="$scratch/plugin-server.reg"
trap 'rm -rf "$scratch"' EXIT

[ ${#CLASSES[@]} -gt 0 ] && [ ${#OWNED[@]} -gt 0 ] && [ "$LIBID" != "{}" ] ||
  { echo "[FAIL] the ids of $IDL could not be read"; echo "sim registry: 0 passed, 1 failed"; exit 1; }

# Start unregistered, keep whatever the machine part held for the plug-in server class, and put a
# real product's registration of it there.
regsvr /u /n /i:user
wreg export "HKLM\\Software\\Classes\\CLSID\\$PLUGIN_SERVER" "Z:${saved_server//\//\\}" /y || rm -f "$saved_server"
flush
machine_state >"$scratch/untouched"
wreg add "HKLM\\Software\\Classes\\CLSID\\$PLUGIN_SERVER\\InprocServer32" /ve /d "$REAL_SERVER" /f
flush
machine_state >"$scratch/before"
check "machine-wide plug-in server" "$(machine_value "CLSID\\$PLUGIN_SERVER\\InprocServer32")" "$REAL_SERVER"
nothing_per_user
show_plugin_server "before"
end_case "starts unregistered, with the real plug-in server registered machine-wide"

regsvr /n /i:user || check "regsvr32 /n /i:user" failed ok
flush
registered_per_user
mapfile -t PROGIDS < <(for id in "${CLASSES[@]}"; do user_value "CLSID\\{$id}\\ProgID"; done)
check "QuilletSim.Control" "$(user_has QuilletSim.Control)" yes
check "QuilletSim.PluginServer" "$(user_has QuilletSim.PluginServer)" yes
end_case "regsvr32 /n /i:user writes the classes and their ProgIDs per user"

check "type library file" "$(user_value "TypeLib\\$LIBID\\1.0\\0\\$PLATFORM")" "$WINDLL"
for id in "${OWNED[@]}"; do
  check "interface {$id} library" "$(user_value "Interface\\{$id}\\TypeLib")" "$LIBID"
done
no_foreign_interfaces
end_case "regsvr32 /n /i:user registers the type library and only the library's own interfaces"

machine_unchanged "registering" "$scratch/before"
check "machine-wide plug-in server" "$(machine_value "CLSID\\$PLUGIN_SERVER\\InprocServer32")" "$REAL_SERVER"
check "per-user plug-in server" "$(user_value "CLSID\\$PLUGIN_SERVER\\InprocServer32")" "$WINDLL"
show_plugin_server "registered"
end_case "registering leaves the machine part unchanged, the real plug-in server included"

regsvr /u /n /i:user || check "regsvr32 /u /n /i:user" failed ok
flush
nothing_per_user
machine_unchanged "unregistering" "$scratch/before"
check "machine-wide plug-in server" "$(machine_value "CLSID\\$PLUGIN_SERVER\\InprocServer32")" "$REAL_SERVER"
show_plugin_server "unregistered"
end_case "regsvr32 /u /n /i:user removes the per-user keys and nothing of the machine's"

regsvr || check "regsvr32" failed ok
flush
registered_per_user
check "type library file" "$(user_value "TypeLib\\$LIBID\\1.0\\0\\$PLATFORM")" "$WINDLL"
no_foreign_interfaces
machine_unchanged "plain registering" "$scratch/before"
regsvr /u || check "regsvr32 /u" failed ok
flush
nothing_per_user
machine_unchanged "plain unregistering" "$scratch/before"
end_case "plain regsvr32 and regsvr32 /u register and unregister per user as well"

if regsvr /n /i:machine; then check "regsvr32 /n /i:machine" succeeded failed; fi
flush
nothing_per_user
machine_unchanged "asking for a machine-wide registration" "$scratch/before"
end_case "a machine-wide registration is refused and writes nothing"

# Another copy of the DLL registered since for one class, and the other bitness' type library:
# unregistration leaves what names those files.
regsvr /n /i:user || check "regsvr32 /n /i:user" failed ok
units='{78F3F21A-D911-41F9-8680-CC71BA0355EA}'  # the units control
other_platform=win32
[ "$PLATFORM" = win32 ] && other_platform=win64
wreg add "HKCU\\Software\\Classes\\CLSID\\$units\\InprocServer32" /ve /d "$OTHER_COPY" /f
wreg add "HKCU\\Software\\Classes\\TypeLib\\$LIBID\\1.0\\0\\$other_platform" /ve /d "$OTHER_COPY" /f
flush
units_progid="$(user_value "CLSID\\$units\\ProgID")"
regsvr /u /n /i:user || check "regsvr32 /u /n /i:user" failed ok
flush
check "class naming the other copy" "$(user_value "CLSID\\$units\\InprocServer32")" "$OTHER_COPY"
check "its ProgID" "$(user_value "$units_progid\\CLSID")" "$units"
check "plug-in server class" "$(user_has "CLSID\\$PLUGIN_SERVER")" no
check "own platform of the library" "$(user_has "TypeLib\\$LIBID\\1.0\\0\\$PLATFORM")" no
check "other platform of the library" "$(user_value "TypeLib\\$LIBID\\1.0\\0\\$other_platform")" "$OTHER_COPY"
for id in "${OWNED[@]}"; do
  check "interface {$id} kept for the other platform" "$(user_value "Interface\\{$id}\\TypeLib")" "$LIBID"
done
machine_unchanged "unregistering beside another copy" "$scratch/before"
end_case "unregistration removes only what names this DLL"
wreg delete "HKCU\\Software\\Classes\\CLSID\\$units" /f
wreg delete "HKCU\\Software\\Classes\\$units_progid" /f
wreg delete "HKCU\\Software\\Classes\\TypeLib\\$LIBID" /f
for id in "${OWNED[@]}"; do wreg delete "HKCU\\Software\\Classes\\Interface\\{$id}" /f; done

# The machine part back as it was.
wreg delete "HKLM\\Software\\Classes\\CLSID\\$PLUGIN_SERVER" /f
[ -f "$saved_server" ] && wreg import "Z:${saved_server//\//\\}"
flush
machine_unchanged "after the test" "$scratch/untouched"
nothing_per_user
end_case "the prefix is left as it was found"

finish "sim registry"
