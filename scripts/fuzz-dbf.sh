#!/usr/bin/env bash
# Builds the DBF fuzz target with clang (libFuzzer, ASan, UBSan) and runs it for a bounded time.
# Usage: scripts/fuzz-dbf.sh [SECONDS]   (default 60). Findings go to build-fuzz/dbf-findings.
set -euo pipefail
seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSVOD_BUILD_FUZZ=ON -DSVOD_BUILD_TESTS=OFF -DSVOD_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer" >/dev/null
ninja -C "$build" -j2 fuzz_dbf
work="$build/dbf-corpus"
mkdir -p "$work" "$build/dbf-findings"
cp -n "$root"/fuzz/dbf/corpus/* "$work"/ 2>/dev/null || true
cd "$build/dbf-findings"
"$build/fuzz/dbf/fuzz_dbf" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=1024 -timeout=10 \
  -print_final_stats=1 "$work" "$root/fuzz/dbf/corpus"
