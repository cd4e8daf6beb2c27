#!/usr/bin/env bash
# The packages for integrators, built from the cross builds.
#   mkdist.sh msi x86|x64 VERSION BUILD_DIR OUT.msi        the Windows Installer package of one
#                                                           architecture (wixl)
#   mkdist.sh zip VERSION BUILD_WIN32 BUILD_WIN64 OUT.zip   both architectures, register.cmd and
#                                                           unregister.cmd, for use without an installer
# Each package holds Korvex.dll with its assembly manifest, Quintor.exe and kxctl.exe of its
# architecture, the examples, the reference and the read-me files, laid out in a staging folder
# beside the output first.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
kit=$root/tools/dist

# Text for Windows, from standard input to standard output: CR LF line ends, and @VERSION@ as
# the version given, for a text that names it.
#   crlf [VERSION]
crlf() { sed "s/@VERSION@/${1:-}/g; s/\r\$//; s/\$/\r/"; }

# The files that do not depend on the architecture.
stage_common() {
  local dir=$1 build=$2
  mkdir -p "$dir/examples/cpp" "$dir/examples/csharp" "$dir/docs"
  cp "$root"/examples/korvex-session.{vbs,js,ps1,py} "$dir/examples/"
  cp "$root/examples/cpp/korvex-session.cpp" "$build/driver/Savolin_TLB.h" \
     "$build/driver/Savolin_TLB_i.c" "$dir/examples/cpp/"
  cp "$root/examples/csharp/KorvexSession.cs" "$dir/examples/csharp/"
  cp "$root/docs/IKorvex.md" "$dir/docs/"
}

# The read-me of a layout, "" for the zip's and "installed-" for the installer's folder, naming
# the package's version. The Russian one is UTF-8 with a byte order mark, so Notepad reads it
# right whatever the system's code page.
stage_readme() {
  local dir=$1 kind=$2 version=$3
  crlf "$version" <"$kit/readme-${kind}en.txt" >"$dir/readme-en.txt"
  { printf '\xEF\xBB\xBF'; crlf "$version" <"$kit/readme-${kind}ru.txt"; } >"$dir/readme-ru.txt"
}

stage_binaries() {
  local dir=$1 build=$2
  mkdir -p "$dir"
  cp "$build/driver/Korvex.dll" "$build/driver/Korvex.manifest" "$build/kxctl/kxctl.exe" \
     "$build/testapp/Quintor.exe" "$dir/"
}

# A product code per architecture and version: the same build installed again is a repair, not a
# second product.
product_code() {
  python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.NAMESPACE_URL, "korvex/" + sys.argv[1])).upper())' "$1"
}

make_msi() {
  local arch=$1 version=$2 build=$3 out=$4
  local stage
  stage=$(dirname "$out")/stage-$arch-$version
  rm -rf "$stage"
  stage_binaries "$stage" "$build"
  stage_common "$stage" "$build"
  stage_readme "$stage" installed- "$version"
  # The Start-menu entry's icon: Quintor's own, as its build makes it.
  cp "$build/testapp/quintor32.ico" "$stage/Quintor.ico"
  local next
  next=$(echo "$version" | awk -F. '{ print $1 "." $2 "." $3 + 1 }')
  (cd "$stage" && wixl -a "$arch" -D Version="$version" -D NextRelease="$next" -D Arch="$arch" \
     -D ProductCode="$(product_code "$arch/$version")" -o "$out" "$kit/korvex.wxs")
  rm -rf "$stage"
}

make_zip() {
  local version=$1 build32=$2 build64=$3 out=$4
  local work top
  work=$(dirname "$out")/stage-zip
  top=korvex-$version
  rm -rf "$work" "$out"
  stage_binaries "$work/$top/x86" "$build32"
  stage_binaries "$work/$top/x64" "$build64"
  stage_common "$work/$top" "$build32"
  stage_readme "$work/$top" "" "$version"
  # cmd reads a script in the console's code page: 866, the one of a Russian Windows.
  iconv -f UTF-8 -t CP866 "$kit/register.cmd" | crlf >"$work/$top/register.cmd"
  crlf <"$kit/unregister.cmd" >"$work/$top/unregister.cmd"
  (cd "$work" && TZ=UTC zip -q -X -r "$out" "$top")
  rm -rf "$work"
}

case "${1:-}" in
  msi) make_msi "$2" "$3" "$(cd "$4" && pwd)" "$(cd "$(dirname "$5")" && pwd)/$(basename "$5")" ;;
  zip) make_zip "$2" "$(cd "$3" && pwd)" "$(cd "$4" && pwd)" "$(cd "$(dirname "$5")" && pwd)/$(basename "$5")" ;;
  *) sed -n '2,10p' "$0" >&2; exit 2 ;;
esac
