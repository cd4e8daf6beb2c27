#!/usr/bin/env bash
# The board's control channel from the shell, and the board's stop: "rig.sh tell" succeeds only
# when the board finished its reply with "ok", and fails saying why otherwise (a refused command,
# no board on the port, a board that does not answer); a board told to stop by SIGTERM goes at
# once, its COM link with it, however often it is started and stopped, and also when the signal
# comes while it sets up.
#   tell.sh RIG BOARDSIM
set -uo pipefail
rig=$1 boardsim=$2
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
failed=0 passed=0

# expect DESCRIPTION STATUS STDERR-PATTERN -- COMMAND...   (an empty pattern: nothing on stderr)
expect() {
  local what=$1 status=$2 pattern=$3 rc
  shift 4
  "$@" >"$work/out" 2>"$work/err"
  rc=$?
  if [ "$rc" = "$status" ] && if [ -z "$pattern" ]; then [ ! -s "$work/err" ]; else grep -qE "$pattern" "$work/err"; fi; then
    passed=$((passed + 1))
  else
    echo "FAILED: $what: exit $rc, said '$(cat "$work/out" "$work/err")'"
    failed=$((failed + 1))
  fi
}

# A free loopback port: one nobody listens on.
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# start_board LINK CONTROL: a board on its own terminal; waits until it is up.
start_board() {
  rm -f "$work/ready"
  "$boardsim" --link "$1" --control "$2" --lines-dir "$work" --ready "$work/ready" \
    </dev/null >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do [ -f "$work/ready" ] && return 0; sleep 0.05; done
  echo "FAILED: the board did not start"
  exit 1
}

control=$(free_port)
start_board "$work/com" "$control"
expect "a command the board takes" 0 '' -- "$rig" tell "$control" reset
expect "a report" 0 '' -- "$rig" tell "$control" get status
[ "$(cat "$work/out")" = "status 0" ] || { echo "FAILED: the report said '$(cat "$work/out")'"; failed=$((failed + 1)); }
expect "a refused command" 1 "refused 'bogus'" -- "$rig" tell "$control" bogus
kill "${pids[-1]}"
nobody=$(free_port)
expect "no board on the port" 1 "no board is steered on $nobody" -- "$rig" tell "$nobody" reset

# A listener that takes the line and never answers.
silent=$(free_port)
python3 -c "import socket,sys,time; s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(('127.0.0.1',$silent)); s.listen(); c=s.accept(); time.sleep(60)" &
pids+=($!)
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$silent") 2>/dev/null && break; sleep 0.05; done
expect "a board that does not answer" 1 "did not answer 'reset'" -- env KORVEX_TELL_WAIT=1 "$rig" tell "$silent" reset

# Stopped at once, whenever the signal comes: the board's loop waits for no deadline when idle,
# so a signal lost between its test and its wait would leave it running.
for round in $(seq 20); do
  control=$(free_port)
  start_board "$work/com" "$control"
  kill -TERM "${pids[-1]}"
  gone=no
  for _ in $(seq 100); do
    kill -0 "${pids[-1]}" 2>/dev/null || { gone=yes; break; }
    sleep 0.05
  done
  if [ $gone = no ] || [ -e "$work/com" ]; then
    echo "FAILED: round $round: the board did not stop at once on SIGTERM"
    failed=$((failed + 1))
    break
  fi
done
[ $gone = yes ] && passed=$((passed + 1))

# A stop that comes while the board sets up: its ready file is a FIFO, so it waits there with its
# COM link made until the test reads it. The signal is kept until the loop's first wait, where
# the board goes as it should, link and all, instead of dying with the link left behind.
control=$(free_port)
rm -f "$work/ready"
mkfifo "$work/ready"
"$boardsim" --link "$work/com" --control "$control" --lines-dir "$work" --ready "$work/ready" \
  </dev/null >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -L "$work/com" ] && break; sleep 0.05; done
kill -TERM "${pids[-1]}"
cat "$work/ready" >/dev/null
wait "${pids[-1]}"
rc=$?
if [ $rc = 0 ] && [ ! -e "$work/com" ] && [ ! -L "$work/com" ]; then
  passed=$((passed + 1))
else
  echo "FAILED: a stop while the board set up: exit $rc, link $([ -L "$work/com" ] && echo left || echo gone)"
  failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
