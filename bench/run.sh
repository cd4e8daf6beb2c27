#!/usr/bin/env bash
# The benchmarks against a simulated board of their own on COM7, steered on TCP 47107, so they
# never share a line with a test suite; find's against sixteen silent boards on COM31 to COM46,
# steered on TCP 47111 to 47126.
#   bench/run.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win32}
rig=$root/tools/rig.sh
silent=$(seq 1 16)
stop_boards() {
  "$rig" stop bench
  for i in $silent; do "$rig" stop "find$i"; done
}
trap stop_boards EXIT
"$rig" start bench 7 47107
export KORVEX_SIM_COM=7 KORVEX_SIM_CONTROL=47107
"$rig" wine "$build/bench/engine_bench.exe"
echo
"$rig" wine "$build/bench/automation_bench.exe"
echo
for i in $silent; do
  "$rig" start "find$i" $((30 + i)) $((47110 + i))
  "$rig" tell $((47110 + i)) fault silent
done
KORVEX_FIND_COM=31 "$rig" wine "$build/bench/find_bench.exe"
