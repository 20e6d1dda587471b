#!/usr/bin/env bash
# Builds the Debian package svod_<version>_<arch>.deb with CPack and prints its path.
# Usage: scripts/package.sh [BUILD_DIR] [OUT_DIR]   (defaults: build, BUILD_DIR/package)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$build/package}"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$build"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; exit 1; }
rm -rf "$out/_CPack_Packages"
ls "$out"/svod_*_*.deb
