#!/usr/bin/env bash
# The real-driver suite's guest: "guest.sh start BUILD_DIR CLI [HELPER]" makes the
# initramfs and boots it under QEMU in the background; "guest.sh stop
# BUILD_DIR" ends it. The guest gets three serial lines, all QEMU chardevs on
# unix sockets that QEMU serves and the tests connect to:
#   con.sock   the console, /dev/ttyS0 (guest-init.sh serves commands on it)
#   uart.sock  a 16550 UART, /dev/ttyS1
#   ftdi.sock  an FTDI FT232 USB adapter on an xHCI controller, /dev/ttyUSB0,
#              which the monitor (mon.sock) can unplug as "ftdi0"
# The sockets live in a short folder of their own (a socket path has at most
# 107 bytes), named in BUILD_DIR/guest/run-dir. Where the guest cannot start
# (no QEMU, no kernel fetched), start writes the reason to BUILD_DIR/guest/skip
# and succeeds, and the tests skip with that reason.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
action=$1
mkdir -p "$2"
build=$(cd "$2" && pwd)
state=$build/guest
run=${TMPDIR:-/tmp}/varno-guest-$(printf %s "$state" | md5sum | cut -c1-10)
cache=${VARNO_GUEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/varnomiksal/guest}

stop() {
    if [ -f "$run/qemu.pid" ]; then
        pid=$(cat "$run/qemu.pid")
        # Only our own QEMU: its command line names this run's folder.
        if tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q -- "$run/"; then
            kill "$pid"
            for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        fi
    fi
    rm -rf "$run"
}

if [ "$action" = stop ]; then
    stop
    exit 0
fi

cli=$3
stop
rm -rf "$state" && mkdir -p "$state"
skip() {
    echo "$*" | tee "$state/skip"
    exit 0
}
qemu=$(command -v qemu-system-x86_64 || true)
[ -n "$qemu" ] || skip "no qemu-system-x86_64: run scripts/setup.sh (package qemu-system-x86)"
[ -x /bin/busybox ] && ! ldd /bin/busybox >/dev/null 2>&1 ||
    skip "no static busybox: run scripts/setup.sh (package busybox-static)"
[ -f "$cache/ready" ] || skip "no guest kernel in $cache: run scripts/setup.sh"

# The initramfs: static busybox, the modules, the program and its libraries.
root=$state/root
mkdir -p "$root/bin" "$root/modules"
cp /bin/busybox "$root/bin/busybox"
cp "$here/guest-init.sh" "$root/init"
cp "$cache"/modules/*.ko "$root/modules/"
strip -o "$root/bin/varnomiksal-cli" "$cli"
helpers=()
[ -n "${4:-}" ] && strip -o "$root/bin/$(basename "$4")" "$4" && helpers=("$4")
for lib in $(for b in "$cli" "${helpers[@]}"; do ldd "$b"; done | grep -o '/[^ ]*' | sort -u); do
    mkdir -p "$root$(dirname "$lib")"
    cp -L "$lib" "$root$lib"
done
(cd "$root" && find . | cpio -o -H newc --quiet) >"$state/initramfs.cpio"

mkdir -p "$run"
echo "$run" >"$state/run-dir"
"$qemu" -machine pc -m 256M -smp 1 -nic none -display none -no-reboot \
    -kernel "$cache/vmlinuz" -initrd "$state/initramfs.cpio" \
    -append "console=ttyS0 panic=-1 quiet" \
    -chardev "socket,id=con,path=$run/con.sock,server=on,wait=off" -serial chardev:con \
    -chardev "socket,id=uart,path=$run/uart.sock,server=on,wait=off" -serial chardev:uart \
    -device qemu-xhci,id=xhci \
    -chardev "socket,id=ftdi,path=$run/ftdi.sock,server=on,wait=off" \
    -device usb-serial,chardev=ftdi,id=ftdi0,always-plugged=on \
    -monitor "unix:$run/mon.sock,server=on,wait=off" \
    -pidfile "$run/qemu.pid" -daemonize 2>"$state/qemu.log" ||
    { cat "$state/qemu.log" >&2; exit 1; }
echo "guest: QEMU $(cat "$run/qemu.pid") on $run, kernel $(cat "$cache/ready")"
