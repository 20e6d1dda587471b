#!/usr/bin/env bash
# A 1,000-page report with a chart on every page to PDF against the same report without charts,
# in the same run, and the peak memory of the run with charts.
# Usage: bench/engine/chart_bench.sh BUILD_DIR [PAGES]
set -euo pipefail
build="${1:-${SVOD_BUILD_DIR:-build}}"
pages="${2:-1000}"
bin="$build/bench/chart_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin" "$pages" "$work" 2>"$work/err"
/usr/bin/time -f "peak_kib=%M" "$bin" "$pages" "$work" --charts-only 2>&1 >/dev/null | grep peak_kib
