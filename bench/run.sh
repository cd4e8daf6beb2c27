#!/usr/bin/env bash
# The benchmarks against a simulated board of their own on COM7, steered on TCP 47107, so they
# never share a line with a test suite.
#   bench/run.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win32}
rig=$root/tools/rig.sh
trap '"$rig" stop bench' EXIT
"$rig" start bench 7 47107
export KORVEX_SIM_COM=7 KORVEX_SIM_CONTROL=47107
"$rig" wine "$build/bench/engine_bench.exe"
echo
"$rig" wine "$build/bench/automation_bench.exe"
