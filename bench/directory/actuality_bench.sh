#!/usr/bin/env bash
# The data actuality view over BRANCHES branches and ROWS generated balance rows (half dollars,
# half roubles, plus a tenth as inflation rows): the time the window takes to show the rows,
# against the same statement run by the database's own shell (sqlite3, psql) in the same run.
# The two run in turn RUNS times; the best of each counts. SQLite always; PostgreSQL when SVOD_TEST_PG holds a connection string.
# Generating 5,000,000 rows takes a few minutes on SQLite; SVOD_BENCH_KEEP=DIR keeps the
# SQLite database there and reuses it.
# Usage: bench/directory/actuality_bench.sh [BUILD_DIR] [BRANCHES] [ROWS] [RUNS]
#        (defaults build, 500, 5000000, 10)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-${SVOD_BUILD_DIR:-$root/build}}"
branches="${2:-500}"
rows="${3:-5000000}"
runs="${4:-10}"
ninja -C "$build" -j2 actuality_bench >/dev/null
bench="$build/bench/actuality_bench"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# wall CMD...: the wall time of one run, in seconds
wall() {
  local t0 t1
  t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}

# compare NAME CONNECTION SHELL...: the window and the shell in turn, $runs times each (a busy
# machine slows both alike); the best of each.
compare() {
  local name=$1 connection=$2; shift 2
  local ours=999999 shell=999999 t shown
  for _ in $(seq "$runs"); do
    read -r t shown < <("$bench" "$connection" show 1)
    if (( $(echo "$t < $ours" | bc -l) )); then ours=$t; fi
    t=$(wall "$@")
    if (( $(echo "$t < $shell" | bc -l) )); then shell=$t; fi
  done
  report "$name" "$ours" "$shell" "$shown"
}

report() {
  local name=$1 ours=$2 shell=$3 shown=$4
  printf '%-11s window %7.3f s   shell %7.3f s   ratio %.2f   (%s rows shown)\n' \
    "$name" "$ours" "$shell" "$(echo "$ours / $shell" | bc -l)" "$shown"
}

echo "== SQLite"
keep="${SVOD_BENCH_KEEP:-}"
db="${keep:-$work}/actuality-$branches-$rows.db"
[ -n "$keep" ] && [ -s "$db" ] || { rm -f "$db"; "$bench" "sqlite:$db" generate "$branches" "$rows"; }
"$bench" "sqlite:$db" query > "$work/query.sql"
compare SQLite "sqlite:$db" sqlite3 "$db" ".read $work/query.sql"

if [ -n "${SVOD_TEST_PG:-}" ]; then
  echo "== PostgreSQL"
  schema="actuality_bench"
  psql "$SVOD_TEST_PG" -qc "set client_min_messages to warning; drop schema if exists $schema cascade; create schema $schema" >/dev/null
  sep='?'; [[ "$SVOD_TEST_PG" == *\?* ]] && sep='&'
  url="$SVOD_TEST_PG${sep}options=-csearch_path%3D$schema"
  "$bench" "$url" generate "$branches" "$rows"
  "$bench" "$url" query > "$work/query.sql"
  PGOPTIONS="-csearch_path=$schema" compare PostgreSQL "$url" psql "$SVOD_TEST_PG" -X -q -f "$work/query.sql"
  psql "$SVOD_TEST_PG" -qc "set client_min_messages to warning; drop schema $schema cascade" >/dev/null
else
  echo "== PostgreSQL skipped (SVOD_TEST_PG unset)"
fi
