# Shared by the kit's test scripts: the simulated board of this suite (KORVEX_SIM_CONTROL) and
# Windows paths for files of the build. The scripts that source it hold the rig in $rig.

# Windows path of a file in the build: Wine maps the root of the file system to Z:.
winpath() { echo "Z:${1//\//\\}"; }

# Sends one line to the board's control channel through the rig (RIG set by the caller); fails
# unless the board answers "ok".
board() { "$rig" tell "$KORVEX_SIM_CONTROL" "$@" >/dev/null; }

# The example session's transcript as the script host and the C++ example print it (OEM code
# page 866 under the Russian locale), with Unix line ends.
session_output() { iconv -f CP866 -t UTF-8 | tr -d '\r'; }

# Runs a program for one session against a board in its default state; compares its output
# with the expected transcript. PROGRAM... is run by rig.sh with the loader given.
#   check_session RIG LOADER EXPECTED PROGRAM...
check_session() {
  local rig=$1 loader=$2 expected=$3
  shift 3
  board reset
  diff -u <(sed "s/@PORT@/$KORVEX_SIM_COM/" "$expected") \
          <("$rig" "$loader" "$@" "$KORVEX_SIM_COM" | session_output)
}

# Registers both builds' Korvex.dll in their own registry views, or with /u takes that away: the
# 32-bit one only where 32-bit programs run. Kit tests that need nothing of Korvex registered
# take the builds' registrations away and give them back at their end.
#   build_registrations RIG BUILD_WIN32 BUILD_WIN64 [/u]
build_registrations() {
  local rig=$1 build32=$2 build64=$3
  shift 3
  [ -n "$("$rig" why win32)" ] ||
    "$rig" wine regsvr32 /s "$@" "$(winpath "$build32/driver/Korvex.dll")" || true
  "$rig" wine64 regsvr32 /s "$@" "$(winpath "$build64/driver/Korvex.dll")" || true
}
