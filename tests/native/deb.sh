#!/usr/bin/env bash
# kxctl's Debian package: built from the native kxctl, checked with dpkg-deb (its fields, its
# files and their modes), unpacked, and the unpacked kxctl run against the simulated board.
#   deb.sh MKDEB KXCTL VERSION   (KORVEX_SIM_DEVICE, KORVEX_SIM_CONTROL set; run through the rig)
set -uo pipefail
mkdeb=$1 kxctl=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0 passed=0
check() { # DESCRIPTION EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then passed=$((passed + 1)); else
    echo "FAILED: $1:"; diff <(echo "$2") <(echo "$3"); failed=$((failed + 1)); fi
}

arch=$(dpkg --print-architecture)
package=$("$mkdeb" "$version" "$kxctl" "$work/out")
check "the package's name" "$work/out/korvex-kxctl_${version}_${arch}.deb" "$package"
check "its fields" "korvex-kxctl $version $arch utils libc6" \
  "$(dpkg-deb --show --showformat='${Package} ${Version} ${Architecture} ${Section} ${Depends}' "$package")"
check "its files" "-rwxr-xr-x ./usr/bin/kxctl
-rw-r--r-- ./usr/share/doc/korvex-kxctl/copyright
-rw-r--r-- ./usr/share/doc/korvex-kxctl/examples/99-korvex.rules
-rw-r--r-- ./usr/share/man/man1/kxctl.1.gz" \
  "$(dpkg-deb --contents "$package" | awk '$1 !~ /^d/ {print $1, $6}' | sort -k2)"
check "owned by root" "root/root" "$(dpkg-deb --contents "$package" | awk '{print $2}' | sort -u)"

dpkg-deb -x "$package" "$work/root"
check "the manual page names the version" 1 \
  "$(zcat "$work/root/usr/share/man/man1/kxctl.1.gz" | grep -c "^\.TH KXCTL 1 .* \"Korvex $version\"")"
check "the udev rule gives the adapter a stable name" 1 \
  "$(grep -c 'SYMLINK+="korvex-board"' "$work/root/usr/share/doc/korvex-kxctl/examples/99-korvex.rules")"
check "the program needs only the C library" "" \
  "$(env -u LD_PRELOAD ldd "$work/root/usr/bin/kxctl" | grep -vE 'linux-vdso|libc\.so|ld-linux|libm\.so' )"

"$(dirname "$0")/../../tools/rig.sh" tell "$KORVEX_SIM_CONTROL" reset >/dev/null
"$(dirname "$0")/../../tools/rig.sh" tell "$KORVEX_SIM_CONTROL" status 5 >/dev/null
check "the unpacked kxctl drives the board" "relays 0x05 (on: 1, 3)" \
  "$("$work/root/usr/bin/kxctl" --port "$KORVEX_SIM_DEVICE" status)"

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
