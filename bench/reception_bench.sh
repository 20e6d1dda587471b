#!/usr/bin/env bash
# End-to-end reception of a generated packet (40,000 items, 1,920,002 B rows) with svod-cli receive
# (validation, loading, the checks, the replacement, commit), against peers converting the same
# B file in the same run:
#   SQLite:      ogr2ogr -f SQLite, and sqlite3 ".import --csv" of the same rows as CSV, then the
#                shell moving those rows into tables with svod's balance schema (what storing costs);
#   PostgreSQL:  pgdbf -s cp866 B | psql, and psql alone doing COPY of the same rows (as CSV) into a
#                temporary table plus INSERT ... SELECT into the indexed central tables of svod's schema
#                in one transaction: the floor (only when SVOD_TEST_PG holds a connection string).
# Then the same packet with every item lacking GROUP1: the refusal and its protocol.
# Prints wall time, peak memory, rows per second and the ratios.
# With SVOD_PROFILE=1 the phase times of each svod run (stderr) are printed after it.
# Usage: bench/reception_bench.sh [BUILD_DIR] [ITEMS]   (defaults build-rec, 40000)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${SVOD_BUILD_DIR:-$root/build-rec}}"
items="${2:-40000}"
ninja -C "$build" -j2 gen_packet svod-cli >/dev/null
cli="$build/src/cli/svod-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/packet"
"$build/bench/gen_packet" "$work/packet" "$items" >/dev/null
a="$(ls "$work/packet"/A*.dbf)"
b="$(ls "$work/packet"/B*.dbf)"
rows=$(( items * 48 + 2 ))
echo "packet: $(basename "$a") $(stat -c %s "$a") B, $(basename "$b") $(stat -c %s "$b") B, $rows B rows"

# measure NAME CMD...: wall seconds and peak RSS (kB) of one run into $work/NAME.time
measure() {
  local name=$1; shift
  /usr/bin/time -f '%e %M' -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err" || true
  read -r secs kb < <(tail -1 "$work/$name.time")
  printf '%-28s %8.2f s  %7d kB  %9.0f rows/s\n' "$name" "$secs" "$kb" "$(echo "$rows / $secs" | bc -l)"
  eval "${name//-/_}_secs=$secs"
  if [[ -n "${SVOD_PROFILE:-}" ]]; then grep '^\[profile\]' "$work/$name.err" || true; fi
}

fresh_db() {
  rm -f "$1" "$1-wal" "$1-shm"
  "$cli" --db "$1" init-db >/dev/null
  "$cli" --db "$1" sql "insert into FILIALS (KOD, NAZVANIE) values ('01', 'Bench')" >/dev/null
}

copy_packet() { rm -rf "$work/in"; mkdir -p "$work/in"; cp "$a" "$b" "$work/in/"; }

cat "$a" "$b" >/dev/null
echo "== SQLite"
fresh_db "$work/svod.db"; copy_packet
measure svod-receive "$cli" --db "$work/svod.db" receive --yes "$work/in/$(basename "$a")"
grep -q '\[result\] accepted' "$work/svod-receive.out" || { echo "reception failed:"; tail -5 "$work/svod-receive.out"; exit 1; }
rm -f "$work/ogr.db"
measure ogr2ogr ogr2ogr -f SQLite "$work/ogr.db" "$b"
ogr2ogr -f CSV "$work/b_csv.csv" "$b" >/dev/null 2>&1
tail -n +2 "$work/b_csv.csv" >"$work/b.csv"
echo "CSV of the same rows: $(stat -c %s "$work/b.csv") B"
rm -f "$work/imp.db"
sqlite3 "$work/imp.db" "create table B (ID text, KOD_F text, DD text, TYP text, SALDO real, DELTA real)"
measure sqlite3-import sqlite3 "$work/imp.db" ".import --csv $work/b.csv B"
# What storing alone costs: the same rows moved by SQLite's own shell from the imported table into
# the central balance tables with svod's schema (keys and branch indexes), as the replacement does.
sqlite3 "$work/svod.db" ".schema INV_OST" ".schema INV_OST3" >"$work/central.sql"
sqlite3 "$work/imp.db" ".read $work/central.sql"
cat >"$work/store.sql" <<'SQL'
begin;
insert into INV_OST select ID, KOD_F, DD, TYP, SALDO, DELTA from B where KOD_F = '01' and TYP in ('1', '2');
insert into INV_OST3 select ID, KOD_F, DD, TYP, SALDO, DELTA from B where KOD_F = '01' and TYP in ('3', '4');
commit;
SQL
measure sqlite3-store-indexed sqlite3 "$work/imp.db" ".read $work/store.sql"
printf 'ratio ogr2ogr/svod: %.2f (above 1: svod faster)\n' "$(echo "$ogr2ogr_secs / $svod_receive_secs" | bc -l)"
printf 'ratio svod/sqlite3-import: %.2f (goal: within 2)\n' "$(echo "$svod_receive_secs / $sqlite3_import_secs" | bc -l)"
printf 'ratio (sqlite3-import + sqlite3-store-indexed)/sqlite3-import: %.2f (the shell alone, loading and storing)\n' \
  "$(echo "($sqlite3_import_secs + $sqlite3_store_indexed_secs) / $sqlite3_import_secs" | bc -l)"
sqlite_floor=$(echo "$sqlite3_import_secs + $sqlite3_store_indexed_secs" | bc -l)
printf 'SQLite floor (sqlite3-import + sqlite3-store-indexed): %.2f s\n' "$sqlite_floor"
printf 'ratio svod/SQLite floor: %.2f (goal: within 1.2)\n' "$(echo "$svod_receive_secs / $sqlite_floor" | bc -l)"

echo "== SQLite, every item without GROUP1 (refusal with protocol)"
fresh_db "$work/refuse.db"
mkdir -p "$work/bad"
"$build/bench/gen_packet" "$work/bad" "$items" >/dev/null
python3 - "$work/bad/$(basename "$a")" <<'PY'
import struct, sys
path = sys.argv[1]
with open(path, 'r+b') as f:
    head = f.read(32)
    count, hlen, rlen = struct.unpack('<IHH', head[4:12])
    offset, fields = 1, {}
    while True:
        d = f.read(32)
        if d[0] == 0x0D:
            break
        name = d[:11].split(b'\0')[0].decode()
        fields[name] = (offset, d[16])
        offset += d[16]
    off, size = fields['GROUP1']
    for i in range(count):
        f.seek(hlen + i * rlen + off)
        f.write(b' ' * size)
PY
measure svod-refusal "$cli" --db "$work/refuse.db" receive --yes --protocol "$work/protocol.csv" "$work/bad/$(basename "$a")"
grep -q '\[result\] refused' "$work/svod-refusal.out" || { echo "expected a refusal:"; tail -5 "$work/svod-refusal.out"; }
echo "protocol rows: $(($(wc -l <"$work/protocol.csv") - 6))"
printf 'ratio refusal/acceptance: %.2f (goal: at most 1)\n' "$(echo "$svod_refusal_secs / $svod_receive_secs" | bc -l)"

if [[ -n "${SVOD_TEST_PG:-}" ]]; then
  echo "== PostgreSQL"
  schema="bench_$$"
  psql "$SVOD_TEST_PG" -qc "create schema $schema" >/dev/null
  pgdb="$SVOD_TEST_PG options=-csearch_path=$schema"
  [[ "$SVOD_TEST_PG" == postgresql://* ]] && pgdb="$SVOD_TEST_PG?options=-csearch_path%3D$schema"
  "$cli" --db "$pgdb" init-db >/dev/null
  "$cli" --db "$pgdb" sql "insert into FILIALS (KOD, NAZVANIE) values ('01', 'Bench')" >/dev/null
  copy_packet
  measure svod-receive-pg "$cli" --db "$pgdb" receive --yes "$work/in/$(basename "$a")"
  grep -q '\[result\] accepted' "$work/svod-receive-pg.out" || { echo "reception failed:"; tail -5 "$work/svod-receive-pg.out"; }
  # The floor: psql alone storing the same rows into the same indexed central tables (a fresh
  # schema made by svod's init-db), COPY into a temporary table then INSERT ... SELECT, one transaction.
  psql "$SVOD_TEST_PG" -qc "drop schema $schema cascade; create schema $schema" >/dev/null
  "$cli" --db "$pgdb" init-db >/dev/null
  cat >"$work/pg-floor.sql" <<SQL
\\set ON_ERROR_STOP on
begin;
create temp table B (ID varchar(20), KOD_F varchar(2), DD timestamp, TYP varchar(1), SALDO numeric(19,4), DELTA numeric(19,4));
\\copy B from '$work/b.csv' csv
insert into INV_OST select ID, KOD_F, DD, TYP, SALDO, DELTA from B where KOD_F = '01' and TYP in ('1', '2');
insert into INV_OST3 select ID, KOD_F, DD, TYP, SALDO, DELTA from B where KOD_F = '01' and TYP in ('3', '4');
commit;
SQL
  measure psql-copy-store-indexed bash -c "PGOPTIONS='-csearch_path=$schema' psql -q '$SVOD_TEST_PG' -f '$work/pg-floor.sql'"
  grep -q . "$work/psql-copy-store-indexed.err" && { echo "floor failed:"; head -5 "$work/psql-copy-store-indexed.err"; }
  psql "$SVOD_TEST_PG" -qc "drop schema $schema cascade; create schema $schema" >/dev/null
  measure pgdbf-psql bash -c "pgdbf -s cp866 '$b' | PGOPTIONS='-csearch_path=$schema' psql -q '$SVOD_TEST_PG'"
  psql "$SVOD_TEST_PG" -qc "drop schema $schema cascade" >/dev/null
  printf 'ratio svod/pgdbf|psql: %.2f\n' "$(echo "$svod_receive_pg_secs / $pgdbf_psql_secs" | bc -l)"
  printf 'PostgreSQL floor (psql COPY + INSERT ... SELECT into the indexed tables): %.2f s\n' "$psql_copy_store_indexed_secs"
  printf 'ratio svod/PostgreSQL floor: %.2f (goal: within 1.3)\n' \
    "$(echo "$svod_receive_pg_secs / $psql_copy_store_indexed_secs" | bc -l)"
fi
