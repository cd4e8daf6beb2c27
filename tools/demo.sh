#!/usr/bin/env bash
# The demonstration: Korvex registered in the project's prefix, a simulated board on COM5, and
# the VBScript example driving it late-bound through "Addin.Korvex" under Wine's script host.
#   tools/demo.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win32}
rig=$root/tools/rig.sh
winpath() { echo "Z:${1//\//\\}"; }

trap '"$rig" shutdown' EXIT
"$rig" start demo 5 47100
"$rig" wine regsvr32 /s "$(winpath "$build/driver/Korvex.dll")"
echo "Korvex registered in the prefix; simulated board on COM5."
echo "cscript examples/korvex-session.vbs 5"
echo
# The script host writes in the console's OEM code page (866 under the Russian locale).
"$rig" wine cscript //nologo "$(winpath "$root/examples/korvex-session.vbs")" 5 |
  iconv -f CP866 -t UTF-8 | tr -d '\r'
