#!/usr/bin/env bash
# The rig's answer to "does this host run 32-bit programs?" and what follows from it: which
# architectures run, why one does not, and which Wine loader starts everything. The host's answer
# comes from running a probe; a probe that cannot start stands for a kernel without IA-32.
#   loader.sh RIG
set -euo pipefail
rig=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# An ELF file this kernel cannot start: the shell reports it as an executable it cannot run.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\377\377' >"$work/cannot-start"
chmod +x "$work/cannot-start"

no32="this host cannot run 32-bit programs"
failed=0 passed=0
# check DESCRIPTION EXPECTED ENV... -- RIG-ARGS...
check() {
  local what=$1 expected=$2 env=()
  shift 2
  while [ "$1" != -- ]; do env+=("$1"); shift; done
  shift
  local actual
  actual=$(env -u KORVEX_HOST32 -u KORVEX_ARCHS "${env[@]}" "$rig" "$@")
  if [ "$actual" = "$expected" ]; then
    passed=$((passed + 1))
  else
    echo "FAILED: $what: rig $* said '$actual', expected '$expected'"
    failed=$((failed + 1))
  fi
}

check "probe starts" yes KORVEX_PROBE32=/bin/true -- host32
check "probe cannot start" no KORVEX_PROBE32="$work/cannot-start" -- host32
check "a caller's answer wins" no KORVEX_HOST32=no KORVEX_PROBE32=/bin/true -- host32
check "both run" "win32 win64" KORVEX_PROBE32=/bin/true -- archs
check "no IA-32" "win64" KORVEX_PROBE32="$work/cannot-start" -- archs
check "no IA-32, why" "$no32" KORVEX_PROBE32="$work/cannot-start" -- why win32
check "no IA-32, 64-bit" "" KORVEX_PROBE32="$work/cannot-start" -- why win64
check "the switch" "win64" KORVEX_PROBE32=/bin/true KORVEX_ARCHS=win64 -- archs
check "the switch, why" "ARCHS=win64" KORVEX_PROBE32=/bin/true KORVEX_ARCHS=win64 -- why win32
check "32-bit loader" wine KORVEX_PROBE32=/bin/true -- loader
check "no IA-32 loader" /usr/lib/wine/wine64 KORVEX_PROBE32="$work/cannot-start" -- loader
check "the switch's loader" /usr/lib/wine/wine64 KORVEX_PROBE32=/bin/true KORVEX_ARCHS=win64 -- loader
# The real probe gives one of the two answers on any host.
check "this host" "$("$rig" host32 | grep -xE 'yes|no')" -- host32

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
