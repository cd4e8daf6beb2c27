#!/usr/bin/env bash
# The demonstration: Korvex registered in the project's prefix and a simulated board on COM5,
# driven first by the VBScript example late-bound through "Addin.Korvex" under Wine's script
# host, then by Quintor, the operator's test program, with a settings file that points at the
# board. Quintor opens on the user's display when there is one; without one it runs on the rig's
# private Xvfb through a scripted operator session that leaves a screenshot in build/.
#   tools/demo.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win32}
out=$(dirname "$build")
rig=$root/tools/rig.sh
winpath() { echo "Z:${1//\//\\}"; }
export KORVEX_SIM_COM=5 KORVEX_SIM_CONTROL=47100
# The Wine session draws on the user's display when there is one.
[ -n "${DISPLAY:-}" ] && export KORVEX_DISPLAY=$DISPLAY

trap '"$rig" shutdown' EXIT
"$rig" start demo "$KORVEX_SIM_COM" "$KORVEX_SIM_CONTROL"
"$rig" wine regsvr32 /s "$(winpath "$build/driver/Korvex.dll")"
echo "Korvex registered in the prefix; simulated board on COM5."
echo "cscript examples/korvex-session.vbs 5"
echo
# The script host writes in the console's OEM code page (866 under the Russian locale).
"$rig" wine cscript //nologo "$(winpath "$root/examples/korvex-session.vbs")" 5 |
  iconv -f CP866 -t UTF-8 | tr -d '\r'

# Quintor in a folder of its own, beside its settings file (code page 1251).
demo=$out/demo
mkdir -p "$demo"
cp "$build/testapp/Quintor.exe" "$demo/"
iconv -f UTF-8 -t CP1251 "$root/examples/quintor-demo.ini" >"$demo/Quintor.ini"
echo
if [ -n "${DISPLAY:-}" ]; then
  echo "Quintor is open on $DISPLAY with the board on COM5; closing it ends the demo."
  echo "Make the board misbehave meanwhile, for example:"
  echo "  tools/rig.sh tell $KORVEX_SIM_CONTROL fault silent     (no answer; also crc, stx 3, cut 2, shortdata)"
  echo "  tools/rig.sh tell $KORVEX_SIM_CONTROL status 129       (relays as the board reports them)"
  echo "  tools/rig.sh tell $KORVEX_SIM_CONTROL fault none"
  # The window manager draws the frame.
  "$rig" wine reg add 'HKCU\Software\Wine\AppDefaults\Quintor.exe\X11 Driver' /v Managed /d Y \
    /f >/dev/null 2>&1
  "$rig" wine "$demo/Quintor.exe"
else
  echo "Quintor on the rig's Xvfb: a scripted operator session"
  # No window manager draws the frame there: Wine draws it.
  "$rig" wine reg add 'HKCU\Software\Wine\AppDefaults\Quintor.exe\X11 Driver' /v Managed /d N \
    /f >/dev/null 2>&1
  rm -f "$out/quintor-demo.bmp"
  "$rig" wine "$build/tests/quintor/quintor_session.exe" "$(winpath "$demo/Quintor.exe")" \
    "$(winpath "$out/quintor-demo.bmp")" | tr -d '\r'
  convert "$out/quintor-demo.bmp" "$out/quintor-demo.png"
  rm -f "$out/quintor-demo.bmp"
  echo
  echo "Screenshot: ${out#$root/}/quintor-demo.png"
fi
