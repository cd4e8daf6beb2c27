#!/usr/bin/env bash
# The versions written once in the top CMakeLists.txt are the ones the build gives out: the
# driver's is Korvex.dll's file version, its Version property, Korvex.manifest's assembly
# version, kxctl's file version, the installer's ProductVersion and the version the integrators'
# reference and the read-me give, and it names the packages make dist makes (the zip's and
# kxctl's Debian package among them); Quintor's is its file version, its manifest's and the
# read-me's.
#   versions.sh RIG VERINFO_EXE BUILD_DIR MSI KORVEX_VERSION QUINTOR_VERSION
set -euo pipefail
rig=$1 verinfo=$2 build=$3 msi=$4 korvex=$5 quintor=$6
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$here/board.sh"

passed=0 failed=0
# expect WHAT EXPECTED ACTUAL
expect() {
  if [ "$3" = "$2" ]; then
    passed=$((passed + 1))
  else
    echo "FAILED: $1 is \"$3\", not \"$2\""
    failed=$((failed + 1))
  fi
}
info() { "$rig" wine "$verinfo" "$1" "$(winpath "$2")" | tr -d '\r' || true; }
# The version an assembly manifest gives the assembly NAME.
assembly_version() { sed -n 's/.*<assemblyIdentity [^>]*name="'"$1"'" version="\([0-9.]*\)".*/\1/p'; }

dll=$build/driver/Korvex.dll
expect "Korvex.dll's file version" "$korvex" "$(info file "$dll")"
expect "the Version property" "$korvex" "$(info property "$dll")"
expect "Korvex.manifest's assembly version" "$korvex" \
  "$(assembly_version Korvex <"$build/driver/Korvex.manifest")"
expect "kxctl's file version" "$korvex" "$(info file "$build/kxctl/kxctl.exe")"
expect "the installer's ProductVersion" "$korvex" \
  "$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" { print $2 }')"
packages=$(env -u MAKEFLAGS -u MAKELEVEL make -s --no-print-directory -C "$root" packages)
expect "the packages of make dist" "korvex-$korvex-x86.msi korvex-$korvex-x64.msi korvex-$korvex.zip \
korvex-kxctl_${korvex}_$(dpkg --print-architecture).deb" "$packages"
case " $packages " in
  *" $(basename "$msi") "*) passed=$((passed + 1)) ;;
  *) echo "FAILED: the build's installer $(basename "$msi") is not among them"; failed=$((failed + 1)) ;;
esac

# The integrators' reference ships in the zip and the installers as it is written; of the
# assemblies its manifest examples name, only Korvex's version is the driver's.
expect "the driver's version in docs/IKorvex.md" "$korvex" \
  "$(sed '/assemblyIdentity/{/name="Korvex"/!d}' "$root/docs/IKorvex.md" |
    grep -o '[0-9]\+\.[0-9]\+\.[0-9]\+\.[0-9]\+' | sort -u | paste -sd' ')"
# The read-me names the packages and the programs by their versions too (and the loopback
# address, which is none).
expect "the versions README.md gives" "$(printf '%s\n' "$korvex" "$quintor" | sort -u | paste -sd' ')" \
  "$(grep -o '[0-9]\+\.[0-9]\+\.[0-9]\+\.[0-9]\+' "$root/README.md" | grep -vx '127\.0\.0\.1' |
    sort -u | paste -sd' ')"

exe=$build/testapp/Quintor.exe
expect "Quintor's file version" "$quintor" "$(info file "$exe")"
expect "Quintor's manifest" "$quintor" "$(info manifest "$exe" | assembly_version Korvex.Quintor)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
