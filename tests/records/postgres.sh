#!/usr/bin/env bash
# A PostgreSQL server of the tests' own, in a folder of theirs, on a free
# loopback port, run as an unprivileged user (the server refuses root).
#   postgres.sh start DIR   makes and starts it; prints its port
#   postgres.sh stop DIR    stops it (fast)
#   postgres.sh pause DIR / resume DIR: stops it, and starts it again on
#                           the same port and data
# Its user "station" (password "line-secret") owns the database "line".
set -euo pipefail
cmd=$1 dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
as_owner=()
if [ "$(id -u)" = 0 ]; then
  as_owner=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
pg() { "${as_owner[@]}" env -u PGDATA "$@"; }
case $cmd in
start)
  mkdir -p "$dir"
  [ "$(id -u)" = 0 ] && chown nobody:nogroup "$dir"
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  echo "$port" >"$dir/port"
  [ "$(id -u)" = 0 ] && chown nobody:nogroup "$dir/port"
  printf 'line-secret\n' >"$dir/pw"
  [ "$(id -u)" = 0 ] && chown nobody:nogroup "$dir/pw"
  pg "$bin/initdb" -D "$dir/data" -U station --pwfile="$dir/pw" -A scram-sha-256 \
    --no-sync >"$dir/initdb.log" 2>&1
  ;&
resume)
  port=$(cat "$dir/port")
  pg "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-k $dir -h 127.0.0.1 -p $port -c fsync=off" start >/dev/null
  if [ "$cmd" = start ]; then
    PGPASSWORD=line-secret "$bin/../bin/psql" -h 127.0.0.1 -p "$port" -U station -d postgres \
      -qc 'CREATE DATABASE line' >/dev/null
    echo "$port"
  fi
  ;;
stop | pause)
  pg "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >/dev/null
  ;;
esac
