#!/usr/bin/env bash
# A throw-away PostgreSQL 15 cluster for the tests: a temporary folder, loopback only.
# Usage: scripts/pg-test-server.sh start DIR   -> prints the connection string
#        scripts/pg-test-server.sh stop DIR
set -euo pipefail
action="$1"
dir="$2"

bindir=""
for candidate in /usr/lib/postgresql/15/bin /usr/lib/postgresql/*/bin; do
  if [[ -x "$candidate/initdb" ]]; then bindir="$candidate"; break; fi
done
if [[ -z "$bindir" ]]; then
  echo "no PostgreSQL server binaries found" >&2
  exit 3
fi

# initdb and postgres refuse to run as root.
run_as=()
if [[ $(id -u) -eq 0 ]]; then
  if ! id postgres >/dev/null 2>&1; then
    useradd --system --no-create-home postgres
  fi
  run_as=(runuser -u postgres --)
fi

case "$action" in
start)
  mkdir -p "$dir"
  [[ ${#run_as[@]} -gt 0 ]] && chown postgres "$dir"
  port=$(( 20000 + RANDOM % 20000 ))
  "${run_as[@]}" "$bindir/initdb" -D "$dir/data" -U svod -A trust -E UTF8 --no-locale >"$dir/initdb.log" 2>&1
  "${run_as[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c full_page_writes=off -c synchronous_commit=off" \
    start >/dev/null
  "${run_as[@]}" "$bindir/createdb" -h 127.0.0.1 -p "$port" -U svod svod_test
  echo "postgresql://svod@127.0.0.1:$port/svod_test"
  ;;
stop)
  if [[ -d "$dir/data" ]]; then
    "${run_as[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2
  exit 64
  ;;
esac
