#!/usr/bin/env bash
# Both architectures registered side by side, as the x86 and x64 packages leave them: removing
# the 64-bit registration keeps the ProgID that both views share, so 32-bit clients still create
# "Addin.Korvex"; removing the 32-bit one afterwards takes the ProgID away.
#   side_by_side.sh RIG BUILD_WIN32 BUILD_WIN64
# Exits 77 (skipped) where 32-bit programs cannot run.
set -euo pipefail
rig=$1 build32=$2 build64=$3
why=$("$rig" why win32)
[ -z "$why" ] || { echo "skipped: $why"; exit 77; }
. "$(dirname "$0")/../kit/board.sh"
dll32=$(winpath "$build32/driver/Korvex.dll") dll64=$(winpath "$build64/driver/Korvex.dll")
clsid='{5641586A-5D36-4A53-A61C-B7CAD4BB3740}'
fail() { echo "FAILED: $*"; exit 1; }
has() { "$rig" "$1" reg query "$2" >/dev/null 2>&1; }
# A 32-bit late-bound client: its first line names the version when the class was created.
created32() {
  printf 'Set k = CreateObject("Addin.Korvex")\r\nWScript.Echo k.Version\r\n' >"$build32/side_by_side.vbs"
  "$rig" wine cscript //nologo "$(winpath "$build32/side_by_side.vbs")" 2>/dev/null | tr -d '\r'
}
trap 'build_registrations "$rig" "$build32" "$build64"; rm -f "$build32/side_by_side.vbs"' EXIT

"$rig" wine regsvr32 /s "$dll32" && "$rig" wine64 regsvr32 /s "$dll64" || fail "registration"
"$rig" wine64 regsvr32 /s /u "$dll64" || fail "64-bit unregistration"
has wine64 "HKCR\\CLSID\\$clsid" && fail "the 64-bit view still registers the class"
has wine 'HKCR\Addin.Korvex\Clsid' || fail "the shared ProgID went with the 64-bit registration"
[ "$(created32)" = 1.2.0.5 ] || fail "a 32-bit client cannot create Addin.Korvex: $(created32)"

"$rig" wine regsvr32 /s /u "$dll32" || fail "32-bit unregistration"
has wine 'HKCR\Addin.Korvex' && fail "the ProgID outlived the last registration"
echo "1 passed, 0 failed"
