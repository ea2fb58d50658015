#!/usr/bin/env bash
# Builds the Debian package from the build tree, unpacks it into a temporary
# root and checks what it holds: both programs (the command-line one runs),
# the desktop entry and its icon, the man pages, the copyright file, and
# dependencies taken from the shared libraries.
# Usage: package_test.sh <build dir> <version>
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/varnomiksal_"$version"_*.deb)
root=$work/root
dpkg-deb -x "$deb" "$root"

for f in usr/bin/varnomiksal usr/bin/varnomiksal-cli \
         usr/share/applications/varnomiksal.desktop \
         usr/share/icons/hicolor/16x16/apps/varnomiksal.png \
         usr/share/icons/hicolor/32x32/apps/varnomiksal.png \
         usr/share/man/man1/varnomiksal.1.gz usr/share/man/man1/varnomiksal-cli.1.gz \
         usr/share/doc/varnomiksal/copyright usr/share/doc/varnomiksal/changelog.gz; do
  [ -f "$root/$f" ] || fail "missing /$f"
done
[ -x "$root/usr/bin/varnomiksal-cli" ] || fail "varnomiksal-cli is not executable"

out=$("$root/usr/bin/varnomiksal-cli" --version)
[[ $out == "varnomiksal-cli $version "* ]] || fail "unexpected --version: $out"

# The entry names the installed program and the icon the theme holds.
desktop-file-validate "$root/usr/share/applications/varnomiksal.desktop"
grep -qx 'Exec=varnomiksal' "$root/usr/share/applications/varnomiksal.desktop" || fail "Exec"
grep -qx 'Icon=varnomiksal' "$root/usr/share/applications/varnomiksal.desktop" || fail "Icon"
for size in 16 32; do
  head -c 24 "$root/usr/share/icons/hicolor/${size}x${size}/apps/varnomiksal.png" | od -An -tx1 |
    tr -d ' \n' | grep -q "^89504e470d0a1a0a0000000d49484452000000$(printf %02x "$size")000000$(printf %02x "$size")" ||
    fail "the ${size}x${size} icon is no PNG of that size"
done

# Man pages: gzipped, versioned, with the exit codes for the command line.
zcat "$root/usr/share/man/man1/varnomiksal-cli.1.gz" | grep -q "varnomiksal $version" || fail "man version"
zcat "$root/usr/share/man/man1/varnomiksal-cli.1.gz" | grep -q '^\.SH EXIT STATUS' || fail "man exit status"
zcat "$root/usr/share/man/man1/varnomiksal.1.gz" | grep -q '^\.TH VARNOMIKSAL 1' || fail "window man page"
grep -q '^Copyright:' "$root/usr/share/doc/varnomiksal/copyright" || fail "copyright"

# Dependencies come from the programs' libraries: the C library and Qt.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6widgets6; do
  [[ $depends == *"$lib ("* ]] || fail "Depends lacks $lib: $depends"
done
echo "package ok: $(basename "$deb")"
