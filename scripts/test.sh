#!/usr/bin/env bash
# Installs what is missing, builds, starts a PostgreSQL server of its own and runs every test
# against SQLite and PostgreSQL. Usage: scripts/test.sh [--sanitize] [ctest options...]
#   --sanitize  builds in build-asan with AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
cmake_opts=()
if [[ "${1:-}" == "--sanitize" ]]; then
  shift
  build="$root/build-asan"
  cmake_opts+=(-DSVOD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DSVOD_BUILD_BENCH=OFF)
  export ASAN_OPTIONS=detect_leaks=0
fi

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$build" "${cmake_opts[@]}"

pgdir="$(mktemp -d /tmp/svod-pg.XXXXXX)"
chmod 755 "$pgdir"
cleanup() { "$root/scripts/pg-test-server.sh" stop "$pgdir" || true; }
trap cleanup EXIT INT TERM
if url="$("$root/scripts/pg-test-server.sh" start "$pgdir")"; then
  export SVOD_TEST_PG="$url"
  echo "PostgreSQL test server: $url"
else
  echo "PostgreSQL server not available: database tests run on SQLite only (PostgreSQL cases are reported as skipped)"
  unset SVOD_TEST_PG
fi

cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"
