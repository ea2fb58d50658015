#!/bin/busybox sh
# The guest's init: mounts the kernel's file systems, loads the USB serial
# modules and then serves the host on the console (/dev/ttyS0). The host
# sends lines "<id> <command> [arguments]"; every line of the answer starts
# with "<id> " and the last one is "<id> done".
#
# Commands:
#   ping                  answers "pong"
#   sh TEXT               runs TEXT in the shell
#   wait-node DEV         waits up to 10 s for the device node; "present" or "absent"
#   run NAME ARGS         runs varnomiksal-cli ARGS and reports it (below)
#   start NAME ARGS       runs varnomiksal-cli ARGS in the background
#   result NAME           waits for the run NAME to end and reports it
# A report is "out LINE" for each line of standard output, "err LINE" for
# each line of standard error and "rc CODE" for the exit code.
/bin/busybox --install -s /bin
mkdir -p /proc /sys /dev /tmp /root
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
echo 1 >/proc/sys/kernel/printk
for m in /modules/*.ko; do insmod "$m" || echo "init: insmod $m failed"; done
export HOME=/root VARNOMIKSAL_PORT_DIR=/tmp/ports

report() {
    while [ ! -e "/tmp/$1.rc" ]; do sleep 0.05; done
    sed 's/^/out /' "/tmp/$1.out"
    sed 's/^/err /' "/tmp/$1.err"
    echo "rc $(cat "/tmp/$1.rc")"
}

start() {
    name=$1
    shift
    rm -f "/tmp/$name.rc"
    (
        varnomiksal-cli "$@" </dev/null >"/tmp/$name.out" 2>"/tmp/$name.err"
        echo $? >"/tmp/$name.rc.part" && mv "/tmp/$name.rc.part" "/tmp/$name.rc"
    ) >/dev/null 2>&1 &
}

serve() {
    id=$1 command=$2
    shift 2
    case $command in
    ping) echo pong ;;
    sh) eval "$*" 2>&1 ;;
    wait-node)
        n=0
        while [ ! -e "$1" ] && [ $n -lt 200 ]; do sleep 0.05; n=$((n + 1)); done
        if [ -e "$1" ]; then echo present; else echo absent; fi
        ;;
    run) start "$@" && report "$1" ;;
    start) start "$@" ;;
    result) report "$1" ;;
    *) echo "unknown command $command" ;;
    esac
}

exec </dev/ttyS0 >/dev/ttyS0 2>&1
stty raw -echo
echo "@boot ready"
while read -r id command arguments; do
    case $id in
    @*) ;;
    *) continue ;;
    esac
    # shellcheck disable=SC2086 # the arguments are words
    serve "$id" "$command" $arguments | sed "s/^/$id /"
    echo "$id done"
done
poweroff -f
