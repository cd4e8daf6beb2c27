#!/usr/bin/env bash
# The Debian package of kxctl: /usr/bin/kxctl, its manual page, and an example udev rule that
# gives a board's adapter a stable name.
#   mkdeb.sh VERSION KXCTL OUT_DIR      writes OUT_DIR/korvex-kxctl_VERSION_ARCH.deb, says its path
set -euo pipefail
version=$1 kxctl=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
arch=$(dpkg --print-architecture)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

install -D -m 0755 "$kxctl" "$stage/usr/bin/kxctl"
strip --strip-unneeded "$stage/usr/bin/kxctl"
doc=$stage/usr/share/doc/korvex-kxctl
install -D -m 0644 "$here/copyright" "$doc/copyright"
install -D -m 0644 "$here/99-korvex.rules" "$doc/examples/99-korvex.rules"
mkdir -p "$stage/usr/share/man/man1"
# The page's date is the tree's last commit's, so that two builds of one tree are the same.
date=$(git -C "$here" log -1 --format=%cs 2>/dev/null || date -u +%F)
sed "s/@VERSION@/$version/; s/@DATE@/$date/" \
  "$here/kxctl.1" | gzip -9n >"$stage/usr/share/man/man1/kxctl.1.gz"
chmod 0644 "$stage/usr/share/man/man1/kxctl.1.gz"

mkdir -p "$stage/DEBIAN"
sed "s/@VERSION@/$version/; s/@ARCH@/$arch/" "$here/control.in" >"$stage/DEBIAN/control"
echo "Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)" >>"$stage/DEBIAN/control"

mkdir -p "$out"
package=$out/korvex-kxctl_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$package" >/dev/null
echo "$package"
