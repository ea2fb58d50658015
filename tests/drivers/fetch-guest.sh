#!/usr/bin/env bash
# Fetches the guest kernel for the real-driver suite once: Debian's current
# bookworm kernel package is downloaded (never installed) into the cache
# folder, unpacked with dpkg-deb, and only the kernel and the six USB serial
# modules are kept. Quiet when the cache already holds them.
# The cache: $VARNO_GUEST_CACHE, else ${XDG_CACHE_HOME:-~/.cache}/varnomiksal/guest.
set -euo pipefail
cache=${VARNO_GUEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/varnomiksal/guest}
[ -f "$cache/ready" ] && exit 0

# The ABI number moves with point releases: ask the meta package for it.
image=$(apt-cache depends linux-image-amd64 2>/dev/null |
  sed -n 's/^ *Depends: \(linux-image-[0-9.]*-[0-9]*-amd64\)$/\1/p' | head -n1)
if [ -z "$image" ]; then
  echo "fetch-guest: cannot resolve the kernel package (apt-cache depends linux-image-amd64)" >&2
  exit 1
fi
echo "fetch-guest: fetching $image-unsigned into $cache"
mkdir -p "$cache"
work=$(mktemp -d "$cache/fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
# As root, apt would hand the download to its own user, who cannot write here.
sandbox=()
[ "$(id -u)" -eq 0 ] && sandbox=(-o APT::Sandbox::User=root)
(cd "$work" && apt-get download -qq "${sandbox[@]}" "$image-unsigned" >/dev/null)
dpkg-deb -x "$work"/*.deb "$work/root"

version=${image#linux-image-}
kernel=$work/root/lib/modules/$version/kernel/drivers/usb
rm -rf "$cache/modules" && mkdir -p "$cache/modules"
# In load order (modinfo -F depends).
n=0
for m in common/usb-common core/usbcore host/xhci-hcd host/xhci-pci serial/usbserial serial/ftdi_sio; do
  n=$((n + 1))
  file=$(ls "$kernel/$m".ko* 2>/dev/null | head -n1)
  if [ -z "$file" ]; then
    echo "fetch-guest: $m is missing from $image" >&2
    exit 1
  fi
  cp "$file" "$cache/modules/$n-$(basename "$file")"
done
cp "$work/root/boot/vmlinuz-$version" "$cache/vmlinuz"
echo "$version" >"$cache/ready"
