#!/usr/bin/env bash
# Korvex without registration, as a user without administrator rights would use it: a client
# program with an application manifest that depends on the Korvex assembly, beside Korvex.dll and
# its Korvex.manifest, in a prefix where nothing of Korvex is registered. It creates
# "Addin.Korvex" by ProgID, drives the board, and calls it from another apartment through a
# proxy. Without its application manifest the same client finds no class.
#   regfree.sh RIG wine|wine64 CLIENT_EXE KORVEX_DLL BUILD_WIN32 BUILD_WIN64
# (KORVEX_SIM_COM, KORVEX_SIM_CONTROL set)
set -euo pipefail
rig=$1 loader=$2 client=$3 dll=$4 build32=$5 build64=$6
here=$(cd "$(dirname "$0")" && pwd)
. "$here/board.sh"
clsid='{5641586A-5D36-4A53-A61C-B7CAD4BB3740}'
work=$(dirname "$client")/regfree
manifest=$(dirname "$dll")/Korvex.manifest
version=$(sed -n 's/.*name="Korvex" version="\([0-9.]*\)".*/\1/p' "$manifest")
arch=$(sed -n 's/.*processorArchitecture="\([a-z0-9]*\)".*/\1/p' "$manifest")

passed=0
fail() { echo "FAILED: $*"; exit 1; }

# Nothing of Korvex registered: the builds' registrations are taken away and given back at the end.
build_registrations "$rig" "$build32" "$build64" /u
trap 'build_registrations "$rig" "$build32" "$build64"' EXIT
for key in "HKCR\\CLSID\\$clsid" 'HKCR\Addin.Korvex'; do
  "$rig" "$loader" reg query "$key" >/dev/null 2>&1 && fail "still registered: $key"
done

rm -rf "$work"
mkdir -p "$work"
cp "$client" "$dll" "$manifest" "$work/"
exe=$work/$(basename "$client")
cat >"$exe.manifest" <<MANIFEST
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="Plant.RelayClient" version="1.0.0.0" processorArchitecture="$arch"/>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Korvex" version="$version" processorArchitecture="$arch"/>
    </dependentAssembly>
  </dependency>
</assembly>
MANIFEST

board reset
board status 5
said=$("$rig" wine "$(winpath "$exe")" "$KORVEX_SIM_COM" | tr -d '\r') || fail "client: $said"
[ "$said" = "created Addin.Korvex
own apartment: GetStatus 0, relays 5
other apartment, through a proxy: GetStatus 0, relays 5" ] || fail "with its manifest the client said: $said"
passed=$((passed + 1))

rm "$exe.manifest"
if said=$("$rig" wine "$(winpath "$exe")" "$KORVEX_SIM_COM" | tr -d '\r'); then
  fail "created without its manifest: $said"
fi
case $said in "ProgID: 0x800401F3") ;; *) fail "without its manifest the client said: $said" ;; esac
passed=$((passed + 1))

rm -rf "$work"
echo "$passed passed, 0 failed"
