#!/usr/bin/env bash
# A real late-bound client: the VBScript example, run by Wine's cscript against the registered
# Korvex.dll and the simulated board, must print exactly the expected session.
#   vbscript_session.sh RIG wine|wine64 KORVEX_DLL EXAMPLE EXPECTED
# (KORVEX_SIM_COM, KORVEX_SIM_CONTROL set). wine64 runs the 64-bit script host and regsvr32, so
# a 64-bit Korvex.dll is registered and loaded in its own registry view.
set -euo pipefail
rig=$1 loader=$2 dll=$3 example=$4 expected=$5
winpath() { echo "Z:${1//\//\\}"; }

# A board in its default state.
"$rig" tell "$KORVEX_SIM_CONTROL" reset >/dev/null

"$rig" "$loader" regsvr32 /s "$(winpath "$dll")"
# The script host writes in the console's OEM code page (866 under the Russian locale).
actual=$("$rig" "$loader" cscript //nologo "$(winpath "$example")" "$KORVEX_SIM_COM" |
         iconv -f CP866 -t UTF-8 | tr -d '\r')
diff -u <(sed "s/@PORT@/$KORVEX_SIM_COM/" "$expected") <(echo "$actual")
echo "1 passed, 0 failed"
