#!/usr/bin/env bash
# The installer of one architecture under Wine's msiexec, in the test prefix:
#   - an older build installed first is replaced in place by this one;
#   - the files are where they belong, with the Start-menu entry for Quintor;
#   - the registry's InprocServer32 names the installed Korvex.dll, so the registration came from
#     the package; "Addin.Korvex" is creatable and drives the simulated board (the installed
#     VBScript example); kxctl works from the installed folder;
#   - msiexec /x leaves no file, no shortcut and no registry entry of the driver.
#   msi.sh RIG wine|wine64 MSI BUILD_DIR VERSION EXPECTED_SESSION
# (KORVEX_SIM_COM, KORVEX_SIM_CONTROL set)
set -euo pipefail
rig=$1 loader=$2 msi=$3 build=$4 version=$5 expected=$6
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$here/board.sh"
prefix=${KORVEX_BUILD:-$root/build}/wineprefix/drive_c
work=$(dirname "$msi")/msi-test
clsid='{5641586A-5D36-4A53-A61C-B7CAD4BB3740}'
libid='{129374D0-383D-4DE5-BAEC-AC498C672B1E}'

if [ "$loader" = wine ]; then
  arch=x86 folder="Program Files (x86)" title=Korvex kind=win32
else
  arch=x64 folder="Program Files" title="Korvex (64-bit)" kind=win64
fi
installed=$prefix/$folder/Korvex
files=(Korvex.dll Korvex.manifest kxctl.exe Quintor.exe readme-en.txt readme-ru.txt docs/IKorvex.md
       examples/korvex-session.vbs examples/korvex-session.js examples/korvex-session.ps1
       examples/korvex-session.py examples/cpp/korvex-session.cpp examples/cpp/Savolin_TLB.h
       examples/cpp/Savolin_TLB_i.c examples/csharp/KorvexSession.cs)

passed=0
pass() { passed=$((passed + 1)); }
fail() { echo "FAILED: $*"; exit 1; }
msiexec() { "$rig" "$loader" msiexec "$@" /qn; }
reg_has() { "$rig" "$loader" reg query "$1" >/dev/null 2>&1; }
shortcuts() { find "$prefix" -path "*/Start Menu/Programs/$title/Quintor.lnk" 2>/dev/null; }

# Nothing of the driver registered or installed beforehand: the build's own registration is
# removed, and so is any package a stopped run left behind. The build's registration is given
# back at the end, as other tests and the demo expect it.
"$rig" "$loader" regsvr32 /s /u "$(winpath "$build/driver/Korvex.dll")" || true
trap '"$rig" "$loader" regsvr32 /s "$(winpath "$build/driver/Korvex.dll")" || true' EXIT
msiexec /x "$(winpath "$msi")" || true
reg_has "HKCR\\CLSID\\$clsid" && fail "the driver is still registered before the installation"

# An older build, then this one over it.
mkdir -p "$work"
"$root/tools/dist/mkdist.sh" msi "$arch" 1.2.0.4 "$build" "$work/older.msi" 2>/dev/null
msiexec /i "$(winpath "$work/older.msi")" || fail "msiexec /i of the older build"
msiexec /i "$(winpath "$msi")" || fail "msiexec /i"
older_code=$(python3 -c 'import uuid; print(str(uuid.uuid5(uuid.NAMESPACE_URL, "korvex/'"$arch"'/1.2.0.4")).upper())')
reg_has "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{$older_code}" &&
  fail "the older build is still installed beside $version"
pass

for f in "${files[@]}"; do [ -f "$installed/$f" ] || fail "not installed: $f"; done
cmp -s "$installed/Korvex.dll" "$build/driver/Korvex.dll" || fail "Korvex.dll is not this build's"
# The read-me describes the installed folder, not the zip's.
grep -q 'register\.cmd\|x86\\' "$installed/readme-en.txt" && fail "the read-me describes the zip"
[ -n "$(shortcuts)" ] || fail "no Start-menu entry for Quintor"
pass

server=$("$rig" "$loader" reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve | tr -d '\r' |
         awk '/REG_SZ/ { print $NF }')
case $server in
  C:\\*\\Korvex\\Korvex.dll) ;;
  *) fail "InprocServer32 names '$server', not the installed Korvex.dll" ;;
esac
reg_has "HKCR\\TypeLib\\$libid\\1.0\\409\\$kind" || fail "the type library is not registered"
pass

check_session "$rig" "$loader" "$expected" cscript //nologo \
  "$(winpath "$installed/examples/korvex-session.vbs")" || fail "the installed example"
pass

board reset
board status 33
status=$("$rig" "$loader" "$(winpath "$installed/kxctl.exe")" --port "$KORVEX_SIM_COM" status | tr -d '\r')
[ "$status" = "relays 0x21 (on: 1, 6)" ] || fail "installed kxctl status printed '$status'"
pass

msiexec /x "$(winpath "$msi")" || fail "msiexec /x"
[ ! -e "$installed" ] || fail "left after removal: $(cd "$installed" && find . -mindepth 1 | head -5)"
[ -z "$(shortcuts)" ] || fail "the Start-menu entry is left"
for key in "HKCR\\CLSID\\$clsid" "HKCR\\TypeLib\\$libid\\1.0\\409\\$kind"; do
  reg_has "$key" && fail "left after removal: $key"
done
# The ProgID is shared by both registry views: it stays while the other architecture's build
# (the other suite's) is registered there, and goes with the last registration.
if [ "$loader" = wine ]; then other=wine64; else other=wine; fi
other_registered=no
if [ "$other" = wine64 ] || [ -z "$("$rig" why win32)" ]; then
  "$rig" "$other" reg query "HKCR\\CLSID\\$clsid\\InprocServer32" >/dev/null 2>&1 && other_registered=yes
fi
progid=no
reg_has "HKCR\\Addin.Korvex\\Clsid" && progid=yes
[ "$progid" = "$other_registered" ] ||
  fail "the ProgID after removal: $progid, with the other architecture registered: $other_registered"
pass
rm -rf "$work"
echo "$passed passed, 0 failed"
