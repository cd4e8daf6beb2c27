#!/usr/bin/env bash
# The tree's layers: every quoted #include of a product folder names a header of a folder that
# layer may use. The engine knows only common/; the ActiveX framework knows neither the engine
# nor the control; Quintor shares nothing of driver/ but the interface's declaration; kxctl runs
# the engine and knows neither the control nor the framework;
# common/ stands on its own; tools/ share only the simulated board's frames. Inside a folder, no
# two units use each other, however indirectly (a unit is a header with its source file).
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
check kxctl driver/engine common
check tools tools/boardsim

# no_circles FOLDER : the units of FOLDER and the units they include from it form no circle.
no_circles() {
  local folder=$root/$1 file header loop
  loop=$(
    for file in "$folder"/*.cpp "$folder"/*.h "$folder"/*.c; do
      [ -f "$file" ] || continue
      sed -nE 's/^#include "([^"/]+)"$/\1/p' "$file" | while read -r header; do
        [ -f "$folder/$header" ] && echo "${header%.*} $(basename "${file%.*}")"
      done
    done | tsort 2>&1 >/dev/null
  )
  if [ -n "$loop" ]; then
    echo "layers: units of $1 use each other:" $(echo "$loop" | sed -n 's/^tsort: \([A-Za-z_][^:]*\)$/\1/p')
    failures=$((failures + 1))
  fi
}

for folder in common driver/engine driver/ax driver testapp kxctl tools/boardsim; do
  no_circles "$folder"
done

if [ $failures -gt 0 ]; then
  echo "layers: $failures fault(s)"
  exit 1
fi
echo "layers: every include stays within its layer, and no units use each other"
