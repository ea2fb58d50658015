#!/bin/sh
# The wine prefix that one test run of the Windows build shares ($WINEPREFIX).
#   wine-prefix.sh setup     a new prefix with a persistent wineserver, and
#                            virtual null-modem cables COM<n> <-> COM<n+1000>
#                            for n = 100..255 when $VARNO_NULLMODEM names the tool
#   wine-prefix.sh cleanup   stops the cables and the server, removes the prefix
# wineserver and wine's helper processes inherit the standard streams of the
# wine process that starts them; a test runner reading those streams would
# wait for them for as long as the server lives. So everything here runs with
# all three streams on /dev/null, and the server is up before any test starts.
set -eu
: "${WINEPREFIX:?WINEPREFIX names the prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
wine=${VARNO_WINE:-wine} # the loader of the programs' width
quiet() { "$@" </dev/null >/dev/null 2>&1; }

stop_cables() {
  for pidfile in "$WINEPREFIX/nullmodem.pid" "$WINEPREFIX/desktop.pid"; do
    if [ -f "$pidfile" ]; then
      kill "$(cat "$pidfile")" 2>/dev/null || true
      rm -f "$pidfile"
    fi
  done
}

stop_server() {
  stop_cables
  if [ -d "$WINEPREFIX" ]; then
    quiet wineserver -k || true
    quiet wineserver -w || true
  fi
}

case "${1:-}" in
setup)
  stop_server # one left by an interrupted run
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  quiet wineserver -p
  # The first wine program creates the prefix: wine runs "wineboot --init"
  # for it and waits. Running wineboot itself as that program would set the
  # prefix up twice, with two service managers; a service started then (the
  # COM server RpcSs, which shortcuts need) never reports as running, and
  # every COM client waits 10 s for it.
  # The prefix's settings: unmanaged windows, the classic look. The server
  # keeps the system colours that its first program read, so it starts anew
  # once they are in the registry.
  here=$(cd "$(dirname "$0")" && pwd)
  quiet "$wine" reg import "Z:$(printf '%s' "$here/wine-prefix.reg" | tr / '\\')"
  quiet wineserver -k || true
  quiet wineserver -w || true
  quiet wineserver -p
  if [ -n "${DISPLAY:-}" ]; then
    # Wine's desktop process ends about a second after the last program with
    # a window, and starts again with the next: a test starting while it ends
    # can fail at once. A program with a hidden window (rundll32, asleep)
    # keeps it up for the whole run; it is started again when its sleep ends.
    (while :; do "$wine" rundll32.exe kernel32.dll,Sleep; done) </dev/null >/dev/null 2>&1 &
    echo $! >"$WINEPREFIX/desktop.pid"
  fi
  if [ -n "${VARNO_NULLMODEM:-}" ]; then
    # COM1 is wine's own /dev/ttyS0 (the console here): the cables keep off it,
    # and the numbers below 100 stay free for tests of ports that do not exist.
    ready="$WINEPREFIX/nullmodem.ready"
    rm -f "$ready"
    "$VARNO_NULLMODEM" --dir "$WINEPREFIX/dosdevices" --ready "$ready" 100-255 \
      </dev/null >/dev/null 2>&1 &
    echo $! >"$WINEPREFIX/nullmodem.pid"
    tries=0
    until [ -f "$ready" ]; do
      tries=$((tries + 1))
      if [ $tries -gt 100 ] || ! kill -0 "$(cat "$WINEPREFIX/nullmodem.pid")" 2>/dev/null; then
        echo "the null-modem cables did not start" >&2
        exit 1
      fi
      sleep 0.1
    done
  fi
  if ! setarch "$(uname -m)" -R true 2>/dev/null; then
    echo "address-space randomization cannot be turned off here: wine may now" \
      "and then fail to start a program (tests/wine.sh)"
  fi
  echo "wine prefix ready: $WINEPREFIX"
  ;;
cleanup)
  stop_server
  rm -rf "$WINEPREFIX"
  ;;
*)
  echo "usage: WINEPREFIX=<dir> $0 setup|cleanup" >&2
  exit 2
  ;;
esac
