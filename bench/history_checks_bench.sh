#!/usr/bin/env bash
# The checks against the accepted history on a packet of one branch whose previous year is already
# accepted (48 balance rows per item: 1,920,000 accepted rows for 40,000 items). Times each check
# for two packet sizes and prints the growth against n log n (both sizes measured in this run).
# SQLite always; PostgreSQL when SVOD_TEST_PG holds a connection string.
# Usage: bench/history_checks_bench.sh [BUILD_DIR] [SMALL] [LARGE]   (defaults build-hist, 10000, 40000)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${SVOD_BUILD_DIR:-$root/build-hist}}"
small="${2:-10000}"
large="${3:-40000}"
ninja -C "$build" -j2 gen_packet svod-cli history_checks >/dev/null
cli="$build/src/cli/svod-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# prepare DB ITEMS: schema, branch 01 (limit in the accepted year), year 2004 accepted, then CHECK_ZERO_BST = 1.
prepare() {
  local db=$1 items=$2
  "$cli" --db "$db" init-db >/dev/null
  "$cli" --db "$db" sql "delete from FILIALS where KOD = '01'" >/dev/null
  "$cli" --db "$db" sql "insert into FILIALS (KOD, NAZVANIE, D_MIN_VAL, D_MIN_RUB, CHECK_TYPE) values ('01', 'Bench', '2004-07-01 00:00:00', '2004-07-01 00:00:00', 0)" >/dev/null
  rm -rf "$work/p2004" "$work/p2005"; mkdir -p "$work/p2004" "$work/p2005"
  "$build/bench/gen_packet" "$work/p2004" "$items" 01 2004 >/dev/null
  "$build/bench/gen_packet" "$work/p2005" "$items" 01 2005 >/dev/null
  "$cli" --db "$db" receive --yes --closed-period accept --deleted-items accept "$(ls "$work/p2004"/A*)" >"$work/accept.out" || {
    echo "accepting the previous year failed:"; tail -3 "$work/accept.out"; exit 1; }
  "$cli" --db "$db" sql "insert into CLT (LABEL, DD, NVARVALUE) values ('CHECK_ZERO_BST', '2000-01-01 00:00:00', 1)" >/dev/null
  # Some accepted items are missing from the new packet: the deleted-items check has work to do.
  for t in INV INV_OST INV_OST3; do "$cli" --db "$db" sql "update $t set ID = 'X' || ID where KOD_F = '01' and ID like '%7'" >/dev/null; done
  echo "accepted rows: $("$cli" --db "$db" sql "select (select count(*) from INV_OST) + (select count(*) from INV_OST3) as N" | tail -1)"
}

# run LABEL DB: the times of the checks into $work/LABEL.times
run() {
  "$build/bench/history_checks" "$2" "$(ls "$work/p2005"/A*)" "$(ls "$work/p2005"/B*)" | tee "$work/$1.times"
}

compare() {
  local a=$1 b=$2
  local nlogn; nlogn=$(echo "$large * l($large) / ($small * l($small))" | bc -l)
  printf '%-28s %10s %10s %8s   (n log n: %.2f)\n' check "$small" "$large" ratio "$nlogn"
  paste <(awk '{n=$0; sub(/ +[0-9.]+ s.*/, "", n); gsub(/ /, "_", n); print n, $(NF-3)}' "$work/$a.times") <(awk '{print $(NF-3)}' "$work/$b.times") |
    while read -r name t1 t2; do
      printf '%-28s %9.3fs %9.3fs %8.2f\n' "$name" "$t1" "$t2" "$(echo "$t2 / ($t1 + 0.0005)" | bc -l)"
    done
}

for backend in sqlite pg; do
  if [ "$backend" = pg ] && [ -z "${SVOD_TEST_PG:-}" ]; then echo "== PostgreSQL skipped (SVOD_TEST_PG unset)"; continue; fi
  echo "== $backend"
  for n in "$small" "$large"; do
    if [ "$backend" = sqlite ]; then db="$work/h$n.db"; rm -f "$db"; else
      db="$SVOD_TEST_PG"
      psql "$db" -qc "drop table if exists INV, INV_OST, INV_OST3, INV_INFL, FILIALS, CLT, LOG_ACCEPT, REPORT cascade" 2>/dev/null >/dev/null || true
    fi
    echo "-- $n items"
    prepare "$db" "$n"
    run "$backend$n" "$db"
  done
  compare "$backend$small" "$backend$large"
done
