#!/usr/bin/env bash
# Report engine figures against LibreOffice and, for .xlsx, against libxlsxwriter alone, in the same run.
# Usage: bench/engine/report_bench.sh BUILD_DIR
set -euo pipefail
build="${1:-${SVOD_BUILD_DIR:-build}}"
bin="$build/bench/report_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== 10,000 rows x 12 columns to PDF"
# One untimed run first: a freshly built binary and the fonts come from disk once, not in the figure.
"$bin" 10000 "$work/warm.pdf" --csv "$work/r.csv" >/dev/null 2>&1
# The program's own stderr (Qt's warnings) is kept out of the timing figures.
/usr/bin/time -o "$work/time" -f "%e %M" "$bin" 10000 "$work/r.pdf" --csv "$work/r.csv" >"$work/out" 2>"$work/err"
ours=$(cat "$work/time")
cat "$work/out"
if command -v soffice >/dev/null; then
  # The peer warmed the same way: one untimed conversion.
  mkdir -p "$work/warm"
  soffice --headless --convert-to pdf --outdir "$work/warm" "$work/r.csv" >/dev/null 2>&1 || true
  start=$(date +%s.%N)
  soffice --headless --convert-to pdf --outdir "$work" "$work/r.csv" >/dev/null 2>&1
  end=$(date +%s.%N)
  peer=$(echo "$end - $start" | bc)
  echo "soffice_s=$peer ratio=$(echo "$peer / $(echo "$ours" | cut -d' ' -f1)" | bc -l)"
else
  echo "soffice not installed (scripts/install-deps.sh --bench): no peer ratio"
fi

echo "== the same with page N of M in the footer (a counting pass first)"
"$bin" 10000 "$work/r2.pdf" --total-pages

echo "== memory for about 2,000 pages"
/usr/bin/time -f "elapsed_s=%e peak_kib=%M" "$bin" 84000 "$work/big.frp"

echo "== 100,000 rows to xlsx against the same cells written straight with libxlsxwriter"
"$bin" 100000 "$work/r.xlsx" >"$work/ours"
"$build/bench/xlsx_peer" 100000 "$work/peer.xlsx" >"$work/peer"
cat "$work/ours" "$work/peer"
key() { sed -n "s/.* $1=\([0-9.]*\).*/\1/p" "$2"; }
ours_total=$(key total_s "$work/ours")
ours_export=$(key export_s "$work/ours")
peer=$(key write_s "$work/peer")
# The same cells, formats, merges and widths (the XML itself differs: numbers are written as their
# shortest decimals by us and with 16 digits by libxlsxwriter).
same=$(python3 "$(dirname "$0")/xlsx_same_cells.py" "$work/r.xlsx" "$work/peer.xlsx")
echo "ours_total_s=$ours_total ours_export_s=$ours_export peer_s=$peer same_cells=$same"
echo "ratio_total=$(echo "$ours_total / $peer" | bc -l | xargs printf '%.2f')" \
     "ratio_export=$(echo "$ours_export / $peer" | bc -l | xargs printf '%.2f')"
