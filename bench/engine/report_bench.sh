#!/usr/bin/env bash
# Report engine figures against LibreOffice in the same run.
# Usage: bench/engine/report_bench.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
bin="$build/bench/report_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== 10,000 rows x 12 columns to PDF"
ours=$( { /usr/bin/time -f "%e %M" "$bin" 10000 "$work/r.pdf" --csv "$work/r.csv" >"$work/out"; } 2>&1 )
cat "$work/out"
if command -v soffice >/dev/null; then
  start=$(date +%s.%N)
  soffice --headless --convert-to pdf --outdir "$work" "$work/r.csv" >/dev/null 2>&1
  end=$(date +%s.%N)
  peer=$(echo "$end - $start" | bc)
  echo "soffice_s=$peer ratio=$(echo "$peer / $(echo "$ours" | cut -d' ' -f1)" | bc -l)"
else
  echo "soffice not installed (scripts/install-deps.sh --bench): no peer ratio"
fi

echo "== memory for about 2,000 pages"
/usr/bin/time -f "elapsed_s=%e peak_kib=%M" "$bin" 84000 "$work/big.frp"

echo "== 100,000 rows to xlsx"
"$bin" 100000 "$work/r.xlsx"
