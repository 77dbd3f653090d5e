#!/usr/bin/env bash
# What regsvr32 writes for LNSQuilletVexaProxy.dll and what regsvr32 /u removes, read back with
# `reg query` in the Wine prefix of $WINEPREFIX. Leaves the DLL registered.
#   registry_check.sh WINE DLL BITS
. "$(dirname "${BASH_SOURCE[0]}")/check_lib.sh" "$@"

CLSID='{2F6F0101-24E5-45F4-8578-F2C159692A48}'
LIBID='{1C810B83-9D75-42C2-8F6E-73F7208A855A}'
IID_DUAL='{384A40F1-A105-40A7-9A6E-DA179A1543F1}'
IID_EVENTS='{1EC56658-2FA5-47C8-B57B-25DD9C14DE97}'
IID_APPDEVICE='{858097EA-2365-11CF-9AE0-0020AFD34749}'
PROGID='LNSQuilletVexaProxy.IHalvernServer'
WINDIR="${WINDLL%\\*}"

# The value of a registry entry ("(Default)" when no name is given); "<missing>" when absent.
value() {  # key [name]
  local out
  if [ $# -gt 1 ]; then
    out="$("$WINE" reg query "HKCR\\$1" /v "$2" 2>/dev/null | tr -d '\r')" || { echo "<missing>"; return; }
  else
    out="$("$WINE" reg query "HKCR\\$1" /ve 2>/dev/null | tr -d '\r')" || { echo "<missing>"; return; }
  fi
  grep -m1 -E 'REG_[A-Z_]+' <<<"$out" | sed -E 's/^.*REG_[A-Z_]+ *//' || echo "<missing>"
}
exists() { "$WINE" reg query "HKCR\\$1" >/dev/null 2>&1 && echo yes || echo no; }

check "class name" "$(value "CLSID\\$CLSID")" "$PROGID"
check "in-process server" "$(value "CLSID\\$CLSID\\InprocServer32")" "$WINDLL"
check "threading model" "$(value "CLSID\\$CLSID\\InprocServer32" ThreadingModel)" "Apartment"
check "class ProgID" "$(value "CLSID\\$CLSID\\ProgID")" "$PROGID"
check "class type library" "$(value "CLSID\\$CLSID\\TypeLib")" "$LIBID"
check "ProgID class" "$(value "$PROGID\\CLSID")" "$CLSID"
end_case "regsvr32 writes the class and its ProgID"

check "type library" "$(value "TypeLib\\$LIBID\\1.0")" "Norvale Quillet Proxy for LNS Devices"
check "type library file" "$(value "TypeLib\\$LIBID\\1.0\\0\\$PLATFORM")" "$WINDLL"
check "help folder" "$(value "TypeLib\\$LIBID\\1.0\\HELPDIR")" "$WINDIR"
check "dual interface" "$(value "Interface\\$IID_DUAL")" "_IHalvernServer"
check "dual interface library" "$(value "Interface\\$IID_DUAL\\TypeLib")" "$LIBID"
check "event interface" "$(value "Interface\\$IID_EVENTS")" "__IHalvernServer"
# The LNS interfaces belong to the LNS object server's library, not ours.
lns_lib="$(value "Interface\\$IID_APPDEVICE\\TypeLib")"
[ "$lns_lib" != "$LIBID" ] || check "AppDevice interface left alone" "$lns_lib" "not $LIBID"
end_case "regsvr32 registers the type library and its own interfaces only"

if ! "$WINE" regsvr32 /u /s "$WINDLL" >/dev/null 2>&1; then check "regsvr32 /u" failed ok; fi
check "class key" "$(exists "CLSID\\$CLSID")" no
check "ProgID key" "$(exists "$PROGID")" no
check "type library key" "$(exists "TypeLib\\$LIBID")" no
check "dual interface key" "$(exists "Interface\\$IID_DUAL")" no
check "event interface key" "$(exists "Interface\\$IID_EVENTS")" no
[ "$lns_lib" = "<missing>" ] || check "AppDevice interface kept" "$(value "Interface\\$IID_APPDEVICE\\TypeLib")" "$lns_lib"
end_case "regsvr32 /u removes everything it wrote"

if ! "$WINE" regsvr32 /s "$WINDLL" >/dev/null 2>&1; then check "regsvr32" failed ok; fi
check "in-process server" "$(value "CLSID\\$CLSID\\InprocServer32")" "$WINDLL"
check "type library file" "$(value "TypeLib\\$LIBID\\1.0\\0\\$PLATFORM")" "$WINDLL"
end_case "regsvr32 registers again after unregistration"

finish registry
