#!/usr/bin/env bash
# The member table of docs/IKorvex.md agrees with the type library inside Korvex.dll: slot,
# dispid, member, kind, type and help string of every row, in order. On a mismatch the diff
# shows the rows as the type library has them.
#   reference.sh RIG REFTABLE_EXE KORVEX_DLL REFERENCE_MD
set -euo pipefail
rig=$1 reftable=$2 dll=$3 doc=$4
. "$(dirname "$0")/board.sh"

# The first six cells of each row between the markers.
documented() {
  sed -n '/<!-- members: from the type library -->/,/<!-- members: end -->/p' "$doc" |
    grep -E '^\| [0-9]+ \|' | awk -F'|' '{
      row = "|"; for (i = 2; i <= 7; i++) { gsub(/^ +| +$/, "", $i); row = row " " $i " |" }
      print row }'
}
library=$("$rig" wine "$reftable" "$(winpath "$dll")")
[ -n "$library" ] || { echo "reftable read no member"; exit 1; }
diff -u <(echo "$library") <(documented)
echo "1 passed, 0 failed"
