#!/usr/bin/env bash
# The tree's layers: every quoted #include of a product folder names a header of a folder that
# layer may use. The engine knows only common/; the ActiveX framework knows neither the engine
# nor the control; Quintor and kxctl share nothing of driver/ but the interface's declaration;
# common/ and tools/ stand on their own.
#   layers.sh SOURCE_ROOT
set -uo pipefail
root=$1
failures=0

# check FOLDER ALLOWED... : the quoted includes of FOLDER's sources resolve in the allowed folders
# (relative to the root), or name a header the build generates (given as "gen:NAME").
check() {
  local folder=$1
  shift
  local file header found allowed
  while IFS=: read -r file header; do
    found=no
    for allowed in "$folder" "$@"; do
      case $allowed in
      gen:*) [ "$header" = "${allowed#gen:}" ] && found=yes ;;
      *) [ -f "$root/$allowed/$header" ] && found=yes ;;
      esac
      [ $found = yes ] && break
    done
    if [ $found = no ]; then
      echo "layers: ${file#$root/} includes \"$header\", outside what $folder may use"
      failures=$((failures + 1))
    fi
  done < <(grep -rHoE '^#include "[^"]+"' --include='*.cpp' --include='*.h' --include='*.c' \
             --include='*.rc' "$root/$folder" |
           sed -E 's/:#include "(.*)"$/:\1/' |
           while IFS=: read -r f h; do
             # a header beside the including file is the folder's own
             [ -f "$(dirname "$f")/$h" ] || echo "$f:$h"
           done)
}

check common
check driver/engine common
check driver/ax common
check driver driver/engine driver/ax common gen:Savolin_TLB.h gen:korvex16.bmp
check testapp common gen:Savolin_TLB.h
check kxctl common gen:Savolin_TLB.h
check tools

if [ $failures -gt 0 ]; then
  echo "layers: $failures include(s) cross a layer"
  exit 1
fi
echo "layers: every include stays within its layer"
