#!/usr/bin/env bash
# The native benchmark against a simulated board of its own, steered on TCP 47108, so it never
# shares a line with a test suite; run through the rig, with the line shim.
#   bench/run-native.sh LINUX_BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
rig=$root/tools/rig.sh
link=${KORVEX_BUILD:-$root/build}/rig/bench-native.tty
trap '"$rig" stop bench-native' EXIT
"$rig" board bench-native "$link" 47108
KORVEX_SIM_DEVICE=$link KORVEX_SIM_CONTROL=47108 "$rig" native "$build/bench/engine_bench"
