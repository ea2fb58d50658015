#!/usr/bin/env bash
# Builds the Debian package from the build tree twice, which must give the
# same bytes, unpacks it into a temporary root and checks what it holds: both
# programs (the command-line one runs), the desktop entry and its icon, the
# AppStream metainfo (appstreamcli validates it), the man pages, the
# copyright file with the licence, and dependencies taken from the shared
# libraries; lintian, pedantic, has nothing to say about it.
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

# Reproducible: the time stamps are the commit's, so that two builds (each
# in a staging folder of its own) give the same bytes.
here=$(cd "$(dirname "$0")" && pwd)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct)}
for out in out out2; do
  (cd "$build" && cpack -G DEB -B "$work/$out" >/dev/null)
done
deb=$(ls "$work"/out/varnomiksal_"$version"_*.deb)
cmp "$deb" "$work/out2/$(basename "$deb")" || fail "two builds of the package differ"
stamps=$(dpkg-deb --fsys-tarfile "$deb" | tar -tv --numeric-owner --full-time |
  awk '{print $4, $5}' | sort -u)
expected_stamp=$(TZ=UTC0 date -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
[ "$stamps" = "$expected_stamp" ] || fail "files not stamped $expected_stamp: $stamps"

lintian_tags=$(lintian --pedantic -I -E --color never "$deb" 2>/dev/null)
[ -z "$lintian_tags" ] || fail "lintian: $lintian_tags"
root=$work/root
dpkg-deb -x "$deb" "$root"

for f in usr/bin/varnomiksal usr/bin/varnomiksal-cli \
         usr/share/applications/varnomiksal.desktop \
         usr/share/metainfo/invalid.varnomiksal.bootloader.metainfo.xml \
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
# The copyright file: machine-readable, the MIT licence with LICENSE's text.
copyright=$root/usr/share/doc/varnomiksal/copyright
grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" ||
  fail "the copyright file is not machine-readable"
sed -n '/^ Permission is hereby/,$p' "$copyright" | sed 's/^ //; s/^\.$//' >"$work/licence"
diff <(sed -n '/^Permission is hereby/,$p' "$here/../../LICENSE") "$work/licence" >/dev/null ||
  fail "the copyright file's MIT licence differs from LICENSE"

# The metainfo names the installed desktop entry and the programs.
metainfo=$root/usr/share/metainfo/invalid.varnomiksal.bootloader.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$work/appstream.out" 2>&1 ||
  fail "appstreamcli validate: $(cat "$work/appstream.out")"
grep -q '<launchable type="desktop-id">varnomiksal.desktop</launchable>' "$metainfo" || fail "launchable"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"

# Dependencies come from the programs' libraries: the C library and Qt.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6widgets6; do
  [[ $depends == *"$lib ("* ]] || fail "Depends lacks $lib: $depends"
done
echo "package ok: $(basename "$deb")"
