#!/usr/bin/env bash
# The zip for use without an installer, unpacked in the test prefix into a folder whose name has
# a space and parentheses (a browser's name for a second download): register.cmd registers x86\Korvex.dll in the 32-bit view and x64\Korvex.dll in the
# 64-bit one and says so, kxctl of each architecture then drives the simulated board,
# unregister.cmd removes both registrations, and a missing DLL is reported as not done.
# Where 32-bit programs cannot run, the 64-bit half is checked alone (the 64-bit regsvr32 on
# x64\Korvex.dll, x64\kxctl.exe on the board) and what was left out is said.
# Where the entries for all users are refused (the class key made read-only; Wine's user is an
# administrator, so there is nothing more to ask for), register.cmd registers for the current
# user instead and says so.
#   zip.sh RIG BUILD_WIN32 BUILD_WIN64 VERSION REGDENY_EXE
# (KORVEX_SIM_COM, KORVEX_SIM_CONTROL set). Exits 77 (skipped) without the 32-bit build.
set -euo pipefail
rig=$1 build32=$2 build64=$3 version=$4 regdeny=$5
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$here/board.sh"
[ -f "$build32/kxctl/kxctl.exe" ] || { echo "no 32-bit build: skipped"; exit 77; }
no32=$("$rig" why win32)
prefix=${KORVEX_BUILD:-$root/build}/wineprefix/drive_c
work=$build32/dist/zip-test
unpacked="$prefix/Korvex kit (1)/korvex-$version"
clsid='{5641586A-5D36-4A53-A61C-B7CAD4BB3740}'
libid='{129374D0-383D-4DE5-BAEC-AC498C672B1E}'

passed=0
pass() { passed=$((passed + 1)); }
fail() { echo "FAILED: $*"; exit 1; }
# cmd reads the script in the OEM code page (866 under the Russian locale), as Windows does;
# Wine's cmd writes what it echoes to a pipe in the ANSI code page (1251).
# The script runs from its own folder, as from a double click or a prompt opened there; its own
# path (with the folder's parentheses) is then the script's business.
run_cmd() {
  (cd "$unpacked" && "$rig" wine cmd /c "$1" </dev/null) | iconv -f CP1251 -t UTF-8 | tr -d '\r'
}
# The server the class names in the registry view of a loader, under HKCR or another root.
#   server wine|wine64 [ROOT]
server() {
  "$rig" "$1" reg query "${2:-HKCR}\\CLSID\\$clsid\\InprocServer32" /ve 2>/dev/null |
    tr -d '\r' | awk '/REG_SZ/ { print $NF }'
}
kxctl_status() {
  "$rig" "$1" "$(winpath "$unpacked/$2/kxctl.exe")" --port "$KORVEX_SIM_COM" status | tr -d '\r'
}

rm -rf "$work" "$prefix/Korvex kit (1)"
mkdir -p "$work" "$prefix/Korvex kit (1)"
"$root/tools/dist/mkdist.sh" zip "$version" "$build32" "$build64" "$work/korvex.zip" 2>/dev/null
unzip -q "$work/korvex.zip" -d "$prefix/Korvex kit (1)"
grep -q 'processorArchitecture="x86"' "$unpacked/x86/Korvex.manifest" &&
  grep -q 'processorArchitecture="amd64"' "$unpacked/x64/Korvex.manifest" || fail "assembly manifests"
# The builds' own registrations are taken away for the test and given back at its end.
build_registrations "$rig" "$build32" "$build64" /u
trap 'build_registrations "$rig" "$build32" "$build64"' EXIT

if [ -n "$no32" ]; then
  echo "left out: register.cmd, unregister.cmd and x86\kxctl.exe ($no32)"
  "$rig" wine64 regsvr32 /s "$(winpath "$unpacked/x64/Korvex.dll")" || fail "x64 regsvr32"
  case $(server wine64) in *\\x64\\KORVEX.DLL | *\\x64\\Korvex.dll) ;; *) fail "64-bit view: $(server wine64)" ;; esac
  board reset
  board status 5
  [ "$(kxctl_status wine64 x64)" = "relays 0x05 (on: 1, 3)" ] || fail "x64 kxctl: $(kxctl_status wine64 x64)"
  "$rig" wine64 regsvr32 /s /u "$(winpath "$unpacked/x64/Korvex.dll")" || fail "x64 regsvr32 /u"
  [ -z "$(server wine64)" ] || fail "still registered after regsvr32 /u"
  pass
  rm -rf "$work" "$prefix/Korvex kit (1)"
  echo "$passed passed, 0 failed"
  exit 0
fi

said=$(run_cmd register.cmd) || fail "register.cmd failed: $said"
[ "$said" = "Done: x86\\Korvex.dll is registered.
Готово: x86\\Korvex.dll зарегистрирован.
Done: x64\\Korvex.dll is registered.
Готово: x64\\Korvex.dll зарегистрирован." ] || fail "register.cmd said: $said"
case $(server wine) in *\\x86\\KORVEX.DLL | *\\x86\\Korvex.dll) ;; *) fail "32-bit view: $(server wine)" ;; esac
case $(server wine64) in *\\x64\\KORVEX.DLL | *\\x64\\Korvex.dll) ;; *) fail "64-bit view: $(server wine64)" ;; esac
pass

board reset
board status 5
[ "$(kxctl_status wine x86)" = "relays 0x05 (on: 1, 3)" ] || fail "x86 kxctl: $(kxctl_status wine x86)"
[ "$(kxctl_status wine64 x64)" = "relays 0x05 (on: 1, 3)" ] || fail "x64 kxctl: $(kxctl_status wine64 x64)"
pass

said=$(run_cmd unregister.cmd) || fail "unregister.cmd failed: $said"
[ "$said" = "Done: x86\\Korvex.dll is no longer registered.
Готово: регистрация x86\\Korvex.dll снята.
Done: x64\\Korvex.dll is no longer registered.
Готово: регистрация x64\\Korvex.dll снята." ] || fail "unregister.cmd said: $said"
[ -z "$(server wine)" ] && [ -z "$(server wine64)" ] || fail "still registered after unregister.cmd"
pass

"$rig" wine64 "$(winpath "$regdeny")" deny || fail "the class key cannot be made read-only"
trap '"$rig" wine64 "$(winpath "$regdeny")" allow; build_registrations "$rig" "$build32" "$build64"' EXIT
said=$(run_cmd register.cmd) || fail "register.cmd without rights failed: $said"
[ "$said" = "NOT DONE: x86\\Korvex.dll could not be registered (regsvr32 exit code 5).
НЕ СДЕЛАНО: x86\\Korvex.dll зарегистрировать не удалось (код regsvr32 5).
NOT DONE: x64\\Korvex.dll could not be registered (regsvr32 exit code 5).
НЕ СДЕЛАНО: x64\\Korvex.dll зарегистрировать не удалось (код regsvr32 5).
The registration for all users was refused even with administrator rights.
Регистрация для всех пользователей не удалась даже с правами администратора.
Registering for the current user only.
Регистрирую только для текущего пользователя.
Done: x86\\Korvex.dll is registered for this user.
Готово: x86\\Korvex.dll зарегистрирован для этого пользователя.
Done: x64\\Korvex.dll is registered for this user.
Готово: x64\\Korvex.dll зарегистрирован для этого пользователя." ] ||
  fail "register.cmd without rights said: $said"
# Wine keeps one view of the user's classes (Windows two): the 64-bit DLL registered last.
case $(server wine64 "HKCU\\Software\\Classes") in *\\x64\\KORVEX.DLL | *\\x64\\Korvex.dll) ;; *) fail "user's view: $(server wine64 "HKCU\\Software\\Classes")" ;; esac
[ -z "$(server wine64)" ] && [ -z "$(server wine)" ] || fail "registered for the machine without rights"
"$rig" wine64 "$(winpath "$regdeny")" allow
"$rig" wine64 regsvr32 /s /u /n /i:user "$(winpath "$unpacked/x64/Korvex.dll")"
"$rig" wine regsvr32 /s /u /n /i:user "$(winpath "$unpacked/x86/Korvex.dll")"
[ -z "$(server wine64 "HKCU\\Software\\Classes")" ] || fail "still registered for the user"
"$rig" wine64 reg query "HKCU\\Software\\Classes\\TypeLib\\$libid" >/dev/null 2>&1 &&
  fail "the type library still registered for the user"
pass

rm "$unpacked/x64/Korvex.dll"
if said=$(run_cmd register.cmd); then fail "register.cmd succeeded without x64\\Korvex.dll"; fi
echo "$said" | grep -qxF 'NOT DONE: x64\Korvex.dll is missing.' || fail "register.cmd said: $said"
run_cmd unregister.cmd >/dev/null || true
pass

rm -rf "$work" "$prefix/Korvex kit (1)"
echo "$passed passed, 0 failed"
