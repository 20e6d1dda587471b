#!/usr/bin/env bash
# Pictures of the desktop program on a fresh demo database (offscreen unless a display is set).
# Usage: scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/out/screenshots}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/src/cli/svod-cli" --db "sqlite:$work/svod.db" init-db --demo "$work/packets" >/dev/null
printf '[connect]\r\nstring=sqlite:%s\r\n[PATH]\r\nin_dir=%s\r\n[setup]\r\ndontlogindialog=1\r\n' \
  "$work/svod.db" "$work/packets" > "$work/pr_vt.ini"
mkdir -p "$out"
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/tests/tools/svod-screenshots" "$work/pr_vt.ini" "$out"
