#!/usr/bin/env bash
# Runs a command with an X display of its own: a private Xvfb, named to Wine through
# KORVEX_DISPLAY (tools/rig.sh passes it on as DISPLAY), stopped when the command ends.
#   with_display.sh COMMAND [ARGS...]
set -euo pipefail
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; rm -rf "$dir"' EXIT
for _ in $(seq 200); do
  [ -s "$dir/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$dir/display" ]; then
  echo "with_display: Xvfb did not start" >&2
  cat "$dir/xvfb.log" >&2
  exit 1
fi
export KORVEX_DISPLAY=:$(head -n1 "$dir/display")
"$@"
