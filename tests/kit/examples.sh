#!/usr/bin/env bash
# The runnable examples as integrators run them: the JScript one under Wine's script host of this
# architecture and the C++ one built by MinGW, each against the registered Korvex.dll and the
# simulated board, must print exactly the session the VBScript example prints.
#   examples.sh RIG wine|wine64 KORVEX_DLL EXAMPLES_DIR CPP_EXAMPLE_EXE EXPECTED
# (KORVEX_SIM_COM, KORVEX_SIM_CONTROL set)
set -euo pipefail
rig=$1 loader=$2 dll=$3 examples=$4 cpp=$5 expected=$6
. "$(dirname "$0")/board.sh"

"$rig" "$loader" regsvr32 /s "$(winpath "$dll")"
check_session "$rig" "$loader" "$expected" cscript //nologo "$(winpath "$examples/korvex-session.js")"
check_session "$rig" "$loader" "$expected" "$cpp"
echo "2 passed, 0 failed"
