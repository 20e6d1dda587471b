#!/usr/bin/env bash
# Builds in Release and runs every benchmark script of bench/ (or those named), each of which
# measures our code against a peer tool in the same run and prints the figures and ratios.
# Usage: scripts/bench.sh [NAME...]   e.g. scripts/bench.sh dbf_bench
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" --bench
"$root/scripts/build.sh" "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DSVOD_BUILD_TESTS=OFF
export SVOD_BUILD_DIR="$root/build-release"
out="$root/bench-out"
mkdir -p "$out"
scripts=()
if (( $# > 0 )); then
  for name in "$@"; do
    for s in "$root/bench/$name.sh" "$root"/bench/*/"$name.sh"; do [[ -e "$s" ]] && scripts+=("$s"); done
  done
else
  for s in "$root"/bench/*.sh "$root"/bench/*/*.sh; do [[ -e "$s" ]] && scripts+=("$s"); done
fi
for s in "${scripts[@]}"; do
  name="$(basename "$s" .sh)"
  echo "=== $name"
  bash "$s" | tee "$out/$name.txt"
done
