#!/usr/bin/env bash
# The boards that kxctl's find and --board tests look for, on ports of the system's port list:
#   COM11 a board numbered 4660       COM14 something answering garbage
#   COM12 a board numbered 7          COM15 listed, with no device behind it
#   COM13 a board that is silent      COM16 a second board numbered 7
# Each is steered on KORVEX_SIM_CONTROL + 1 to + 5, in that order (COM15 has none); the test
# gives COM13 and COM14 their faults before each case.
#   find_boards.sh RIG start|stop
set -euo pipefail
rig=$1
base=$KORVEX_SIM_CONTROL
names=(find_a find_b find_silent find_garbage find_c)
coms=(11 12 13 14 16)
numbers=(4660 7 4660 4660 7)

case $2 in
  start)
    for i in "${!names[@]}"; do
      "$rig" start "${names[$i]}" "${coms[$i]}" $((base + i + 1)) --number "${numbers[$i]}"
    done
    "$rig" list 11 12 13 14 15 16 ;;
  stop)
    "$rig" list
    for name in "${names[@]}"; do "$rig" stop "$name"; done ;;
esac
