#!/usr/bin/env bash
# Runs the test suite of every architecture whose programs run on this host (and that ARCHS
# asks for), then the native suite, which every host runs (no Wine), and says one line per
# suite: how many of its tests passed, or why it did not run. Exits 0 when every suite that ran
# passed.
#   tools/suites.sh BUILD_ROOT
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rig=$root/tools/rig.sh
# One probe for the whole run: every rig call of the suites inherits the answer.
KORVEX_HOST32=$("$rig" host32) || exit 1
export KORVEX_HOST32

status=0
summary=()
# run_suite NAME: runs the CTest suite in BUILD_ROOT/NAME and notes its line.
run_suite() {
  local name=$1 log=$build/$1/suite.log failed= total=
  echo "== tests, $name"
  (cd "$build/$name" && ctest --output-on-failure --timeout 900) 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  # CTest closes with "N% tests passed, F tests failed out of T".
  read -r failed total < <(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\? failed out of \([0-9]*\)$/\1 \2/p' "$log")
  if [ -n "${total:-}" ]; then
    summary+=("$name: $((total - failed)) of $total passed")
  else
    summary+=("$name: did not finish")
    status=1
  fi
}

for arch in win32 win64; do
  why=$("$rig" why "$arch")
  if [ -n "$why" ]; then
    summary+=("$arch: not run ($why)")
    continue
  fi
  run_suite "$arch"
done
"$rig" shutdown
run_suite linux
echo
printf '%s\n' "${summary[@]}"
exit $status
