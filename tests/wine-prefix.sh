#!/bin/sh
# The wine prefix that one test run of the Windows build shares ($WINEPREFIX).
#   wine-prefix.sh setup     a new prefix with a persistent wineserver
#   wine-prefix.sh cleanup   stops the server and removes the prefix
# wineserver and wine's helper processes inherit the standard streams of the
# wine process that starts them; a test runner reading those streams would
# wait for them for as long as the server lives. So everything here runs with
# all three streams on /dev/null, and the server is up before any test starts.
set -eu
: "${WINEPREFIX:?WINEPREFIX names the prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
quiet() { "$@" </dev/null >/dev/null 2>&1; }

stop_server() {
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
  quiet wine wineboot.exe -i
  # Without a window manager, hiding or destroying a window waits for one;
  # unmanaged windows do not.
  quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
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
