#!/usr/bin/env bash
# Decodes every field of every row of a generated B file of 1,920,002 rows with our reader and
# with pgdbf (the peer), in the same run; prints both times, the ratio and our peak memory.
# Usage: bench/dbf_bench.sh [BUILD_DIR] [ITEMS]   (defaults build-dbf, 40000)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${SVOD_BUILD_DIR:-$root/build-dbf}}"
items="${2:-40000}"
ninja -C "$build" -j2 gen_packet dbf_walk >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bench/gen_packet" "$work" "$items" >/dev/null
file="$work/B010105.dbf"
echo "file: $(basename "$file"), $(stat -c %s "$file") bytes"

seconds() { local start end; start=$(date +%s.%N); "$@" >/dev/null; end=$(date +%s.%N); echo "$end - $start" | bc -l; }
best() { local b=""; for _ in 1 2 3; do local t; t=$(seconds "$@"); if [[ -z "$b" ]] || (( $(echo "$t < $b" | bc -l) )); then b=$t; fi; done; echo "$b"; }

cat "$file" >/dev/null # same page cache state for both
ours_value=$(best "$build/bench/dbf_walk" "$file" value)
ours_text=$(best "$build/bench/dbf_walk" "$file" text)
peer=$(best pgdbf "$file")
"$build/bench/dbf_walk" "$file" value
fields=$(( (items * 48 + 2) * 6 ))
printf 'svod asValue: %.3f s (%.1f M fields/s)\n' "$ours_value" "$(echo "$fields / $ours_value / 1000000" | bc -l)"
printf 'svod asText:  %.3f s (%.1f M fields/s)\n' "$ours_text" "$(echo "$fields / $ours_text / 1000000" | bc -l)"
printf 'pgdbf:        %.3f s\n' "$peer"
printf 'ratio pgdbf/svod (asValue): %.2f\n' "$(echo "$peer / $ours_value" | bc -l)"
printf 'ratio pgdbf/svod (asText):  %.2f\n' "$(echo "$peer / $ours_text" | bc -l)"
if [[ -x /usr/bin/time ]]; then
  /usr/bin/time -v "$build/bench/dbf_walk" "$file" value 2>&1 >/dev/null | grep "Maximum resident" | sed 's/^\s*/svod peak memory: /'
fi
