#!/usr/bin/env bash
# The demonstration: a simulated board on COM5 and the four commands exchanged with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win32}
rig=$root/tools/rig.sh
trap '"$rig" shutdown' EXIT
"$rig" start demo 5 47100
"$rig" wine "$build/tools/linedemo/linedemo.exe" 5
