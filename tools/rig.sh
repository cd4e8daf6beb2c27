#!/usr/bin/env bash
# The test rig: a project-local Wine prefix with a Russian locale, the line shim, a private
# display (Xvfb) for the Wine session, and the simulated relay board on a COM port of that
# prefix.
#
#   rig.sh prefix                      make the prefix once (reused afterwards)
#   rig.sh server                      start the display, and wineserver with the line shim
#   rig.sh start NAME COM CONTROL [OPTION...]
#                                      start a simulated board as COM<COM>, steered on TCP CONTROL;
#                                      the options go to the board ("--number 7")
#   rig.sh board NAME LINK CONTROL [OPTION...]
#                                      start a simulated board for native programs, its terminal
#                                      linked at LINK, steered on TCP CONTROL; no Wine
#   rig.sh stop NAME                   stop that board
#   rig.sh list [COM...]               make the system's port list (SERIALCOMM) name these COM
#                                      ports, each with the device its link points at, or with
#                                      none when it has no link; no COM: the list is emptied.
#                                      The wineserver is started anew for it
#   rig.sh tell CONTROL COMMAND...     steer the board on TCP CONTROL ("fault silent", "status 5")
#   rig.sh wine PROGRAM [ARGS...]      run a Windows program in the prefix (Wine's own programs
#                                      such as cscript and regsvr32 run as 32-bit ones where
#                                      32-bit programs run, as 64-bit ones elsewhere)
#   rig.sh wine64 PROGRAM [ARGS...]    run Wine's own programs as 64-bit ones
#   rig.sh native PROGRAM [ARGS...]    run a native program with the line shim, its emulated
#                                      exclusive open off: the program locks its port itself
#   rig.sh host32                      say "yes" when this host runs 32-bit x86 code, else "no"
#   rig.sh archs                       the architectures whose programs run here ("win32 win64")
#   rig.sh why ARCH                    why ARCH's programs do not run here (nothing when they do)
#   rig.sh loader                      the Wine loader that "rig.sh wine" and the prefix use
#   rig.sh shutdown                    stop every board, the wineserver and the display
#
# The prefix never sees the host's own serial devices (the line shim hides them), so no program
# of the rig writes to a real port of the machine, and the port list holds only the rig's ports.
#
# KORVEX_ARCHS (make's ARCHS) names the architectures wanted, "win32 win64" by default; without
# win32 the rig works as on a host that cannot run 32-bit programs. KORVEX_HOST32 (yes or no)
# carries the probe's answer from a caller that asked already. KORVEX_LOCALE (C.UTF-8, say) runs
# the program of "rig.sh wine" and "rig.sh wine64" under that locale instead, which gives it
# another ANSI code page (C.UTF-8: 1252), in the same prefix and wineserver; the programs it
# starts inherit that code page. The prefix, the server and Wine's own services keep ru_RU.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KORVEX_BUILD:-$root/build}
native=$build/native
run=$build/rig
# The 64-bit loader, which runs where the wine wrapper's 32-bit one cannot.
wine64_loader=/usr/lib/wine/wine64

export WINEPREFIX=$build/wineprefix
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko: nothing is downloaded and no dialog asks for them.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The ANSI code page follows the locale: ru_RU gives 1251, whatever the caller's locale is.
export LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8
unset LANGUAGE
# $LIB makes the loader pick the shim of the program's own class (32- or 64-bit).
export LD_PRELOAD="$native/\$LIB/liblineshim.so"
export KORVEX_LINES_DIR=$run
export KORVEX_HIDE_HOST_PORTS=1
unset DISPLAY

mkdir -p "$run"

# Whether the kernel runs 32-bit x86 code: a tiny 32-bit program either runs or fails to start.
# Package state cannot tell (the 32-bit Wine installs fine where it can never run).
host_runs_32bit() {
  case ${KORVEX_HOST32:-} in
    yes) return 0 ;;
    no) return 1 ;;
  esac
  local probe=${KORVEX_PROBE32:-$native/probe32}
  [ -x "$probe" ] || { echo "rig: no $probe; run make native first" >&2; exit 1; }
  "$probe" >/dev/null 2>&1
}

# Why an architecture's programs cannot run here; nothing when they can.
why_not() {
  case " ${KORVEX_ARCHS:-win32 win64} " in
    *" $1 "*) ;;
    *) echo "ARCHS=${KORVEX_ARCHS:-}"; return ;;
  esac
  [ "$1" = win32 ] && ! host_runs_32bit && echo "this host cannot run 32-bit programs"
  return 0
}

# One loader rule for everything that starts Wine. Debian's wine wrapper starts the 32-bit loader
# whenever it is installed, and that loader cannot start where 32-bit code does not run; the
# 64-bit loader then serves 64-bit programs and Wine's own programs, and makes the prefix.
choose_loader() {
  if [ -z "$(why_not win32)" ]; then
    wine_loader=wine
    prefix_kind="win32 win64"
  else
    wine_loader=$wine64_loader
    prefix_kind=win64
    # Programs that Wine starts from Windows programs use the same loader.
    export WINELOADER=$wine_loader
  fi
}

# Every program of a Wine session draws on the display its first program had, so the session
# gets one for its whole life: KORVEX_DISPLAY when given, otherwise a private Xvfb started with
# the server and stopped with it.
display_alive() {
  [ -f "$run/xvfb.pid" ] && kill -0 "$(cat "$run/xvfb.pid")" 2>/dev/null && [ -s "$run/display" ]
}

use_display() {
  if [ -n "${KORVEX_DISPLAY:-}" ]; then
    export DISPLAY=$KORVEX_DISPLAY
  elif display_alive; then
    export DISPLAY=:$(cat "$run/display")
  fi
}

# Starts the private Xvfb; returns 1 when it was running already.
start_display() {
  [ -n "${KORVEX_DISPLAY:-}" ] && return 1
  display_alive && return 1
  rm -f "$run/display"
  # Xvfb picks a free display number and writes it to the descriptor given.
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" \
    </dev/null >/dev/null 2>&1 &
  echo $! >"$run/xvfb.pid"
  for _ in $(seq 200); do
    [ -s "$run/display" ] && { use_display; return 0; }
    sleep 0.05
  done
  echo "rig: Xvfb did not start" >&2
  exit 1
}

stop_display() {
  [ -f "$run/xvfb.pid" ] && kill "$(cat "$run/xvfb.pid")" 2>/dev/null || true
  rm -f "$run/xvfb.pid" "$run/display"
}

use_display

# Wine's own fonts (Debian's fonts-wine). Debian's Wine looks for them in a folder it cannot
# open, so it draws every face with a wide substitute and the caption buttons as letters. In the
# prefix's Fonts folder, named by the font entries that wineboot wrote for code page 1251, they
# load: the Cyrillic "MS Sans Serif" and Courier (bitmap fonts), Tahoma and Marlett. Wine has no
# "Courier New"; its Courier has the same advance at 10 pt.
add_wine_fonts() {
  cp /usr/share/wine/fonts/*.fon /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  "$wine_loader" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' /t REG_SZ \
    /d Courier /f >/dev/null 2>&1
}

# The prefix remembers which loaders made it, and serves only runs with the same loaders. A run
# of the 64-bit build alone gets a prefix of its own: one that 32-bit programs used holds their
# registrations, which such a run can neither see through nor take away.
make_prefix() {
  choose_loader
  local made="loaders: $prefix_kind; fonts: wine; host ports: hidden" have
  have=$(cat "$WINEPREFIX/.korvex-ready" 2>/dev/null || true)
  [ "$have" = "$made" ] && return 0
  [ -f "$run/wineserver.pid" ] && kill "$(cat "$run/wineserver.pid")" 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  (LD_PRELOAD= "$wine_loader" wineboot -i >/dev/null 2>&1 && LD_PRELOAD= add_wine_fonts &&
    LD_PRELOAD= wineserver -w) || {
    echo "rig: could not make the Wine prefix $WINEPREFIX" >&2
    exit 1
  }
  echo "$made" >"$WINEPREFIX/.korvex-ready"
}

# The device is opened by wineserver, so it must carry the shim (for the exclusive open);
# a server started without it would let a second open of a port succeed. We start it
# ourselves, persistent and detached from every output pipe, and wait for its socket so that
# no program starts a server of its own meanwhile.
server_socket() {
  local dev ino sock
  read -r dev ino < <(stat -c '%D %i' "$WINEPREFIX")
  # Debian's Wine keeps its server directory under a per-user /tmp/wine-XXXXXX.
  for sock in /tmp/.wine-"$(id -u)"/server-"$dev"-"$(printf %x "$ino")"/socket \
              /tmp/wine-*/server-"$dev"-"$(printf %x "$ino")"/socket; do
    [ -S "$sock" ] && { echo "$sock"; return 0; }
  done
  return 1
}

start_server() {
  make_prefix
  local pidfile=$run/wineserver.pid
  # A new display needs a new session.
  start_display && rm -f "$pidfile"
  if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null && server_socket >/dev/null; then
    return 0
  fi
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  setsid wineserver -f -p </dev/null >/dev/null 2>&1 &
  echo $! >"$pidfile"
  for _ in $(seq 200); do
    if server_socket >/dev/null; then
      # The first program starts Wine's own services, which inherit its output and outlive
      # it; start them here with no output attached, so no test's pipe is held open.
      "$wine_loader" cmd /c exit </dev/null >/dev/null 2>&1 || true
      return 0
    fi
    sleep 0.05
  done
  echo "rig: wineserver did not start" >&2
  exit 1
}

start_board() {
  local name=$1 com=$2 control=$3
  shift 3
  start_server
  launch_board "$name" "$WINEPREFIX/dosdevices/com$com" "$control" "$@"
}

# A board whose terminal is linked at LINK; the link survives an unplug and a plug, so a program
# that names the port by the link finds it again.
launch_board() {
  local name=$1 link=$2 control=$3
  shift 3
  stop_board "$name"
  rm -f "$link" "$run/$name.ready"
  setsid "$native/boardsim" --link "$link" --control "$control" --lines-dir "$run" \
    --ready "$run/$name.ready" "$@" </dev/null >"$run/$name.log" 2>&1 &
  echo $! >"$run/$name.pid"
  for _ in $(seq 100); do
    [ -f "$run/$name.ready" ] && return 0
    sleep 0.05
  done
  echo "rig: the simulated board did not start; see $run/$name.log" >&2
  cat "$run/$name.log" >&2
  exit 1
}

stop_board() {
  local pidfile=$run/$1.pid
  [ -f "$pidfile" ] || return 0
  kill "$(cat "$pidfile")" 2>/dev/null || true
  rm -f "$pidfile"
}

# Wine's device manager names a port in SERIALCOMM only when HKLM\Software\Wine\Ports lists it,
# and reads that list when the server's services start; it then links the port to the device
# given, which for a board is the terminal its link points at already.
list_ports() {
  local com device link
  start_server
  "$wine_loader" reg delete 'HKLM\Software\Wine\Ports' /f >/dev/null 2>&1 || true
  for com in "$@"; do
    device=$(readlink "$WINEPREFIX/dosdevices/com$com" 2>/dev/null) || device=$run/no-device-com$com
    "$wine_loader" reg add 'HKLM\Software\Wine\Ports' /v "COM$com" /t REG_SZ /d "$device" /f \
      >/dev/null 2>&1 || { echo "rig: could not list COM$com" >&2; exit 1; }
  done
  # A port listed before and not now keeps the link the device manager made: it goes.
  for link in "$WINEPREFIX"/dosdevices/com*; do
    [ "$(readlink "$link")" = "$run/no-device-${link##*/}" ] && rm -f "$link"
  done
  # The server starts again, and its services read the list anew.
  rm -f "$run/wineserver.pid"
  start_server
}

# Sends one command line to a board's control channel and prints its reply. Fails, saying so,
# when the board cannot be reached, answers "error ...", or does not finish its reply with "ok"
# within KORVEX_TELL_WAIT seconds (10): a caller never goes on having told the board nothing.
tell_board() {
  local control=$1 line
  shift
  # bash's own complaint about the connection goes; ours says what it means.
  exec 4>&2 2>/dev/null
  if ! exec 3<>"/dev/tcp/127.0.0.1/$control"; then
    exec 2>&4 4>&-
    echo "rig: no board is steered on $control" >&2
    return 1
  fi
  exec 2>&4 4>&-
  echo "$*" >&3
  while read -r -t "${KORVEX_TELL_WAIT:-10}" line <&3; do
    line=${line%$'\r'}
    if [ "$line" = ok ]; then
      exec 3<&-
      return 0
    fi
    echo "$line"
    case $line in error*) exec 3<&-; echo "rig: the board on $control refused '$*'" >&2; return 1 ;; esac
  done
  exec 3<&-
  echo "rig: the board on $control did not answer '$*'" >&2
  return 1
}

# Wine's own device services can outlive a killed wineserver; nothing of this prefix may be
# left running after a shutdown.
kill_prefix_processes() {
  local env pid
  for env in /proc/[0-9]*/environ; do
    pid=${env#/proc/}
    pid=${pid%/environ}
    [ "$pid" = "$$" ] && continue
    if tr '\0' '\n' 2>/dev/null <"$env" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      kill -9 "$pid" 2>/dev/null || true
    fi
  done
}

# The locale of the one program that "rig.sh wine" starts, when KORVEX_LOCALE asks for another.
program_locale() {
  [ -n "${KORVEX_LOCALE:-}" ] && export LC_ALL=$KORVEX_LOCALE LANG=$KORVEX_LOCALE
  return 0
}

case "${1:-}" in
  prefix) make_prefix ;;
  server) start_server ;;
  start) shift; start_board "$@" ;;
  board) shift; launch_board "$@" ;;
  list) shift; list_ports "$@" ;;
  stop) stop_board "$2" ;;
  tell) shift; tell_board "$@" ;;
  host32) host_runs_32bit && echo yes || echo no ;;
  archs)
    archs=()
    for a in win32 win64; do [ -z "$(why_not $a)" ] && archs+=("$a"); done
    echo "${archs[*]}" ;;
  why) why_not "$2" ;;
  loader) choose_loader; echo "$wine_loader" ;;
  wine) shift; start_server; program_locale; exec "$wine_loader" "$@" ;;
  wine64) shift; start_server; program_locale; exec "$wine64_loader" "$@" ;;
  native) shift; export KORVEX_SHIM_EXCLUSIVE=0; exec "$@" ;;
  shutdown)
    for p in "$run"/*.pid; do [ -f "$p" ] && stop_board "$(basename "$p" .pid)"; done
    wineserver -k >/dev/null 2>&1 || true
    kill_prefix_processes
    rm -f "$run/wineserver.pid"
    stop_display ;;
  *) sed -n '2,40p' "$0" >&2; exit 2 ;;
esac
