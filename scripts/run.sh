#!/usr/bin/env bash
# Builds and runs the main job on the embedded SQLite default with a demo database in ./demo:
# the desktop program when a display is available, otherwise a headless demo with svod-cli.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
demo="$root/demo"
mkdir -p "$demo/packets"
cli="$root/build/src/cli/svod-cli"
"$cli" --db "sqlite:$demo/svod.db" init-db --demo "$demo/packets"
ini="$demo/pr_vt.ini"
if [[ ! -f "$ini" ]]; then
  printf '[connect]\r\nstring=sqlite:%s\r\n[PATH]\r\nin_dir=%s\r\n[setup]\r\ndontlogindialog=1\r\n' \
    "$demo/svod.db" "$demo/packets" > "$ini"
fi
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$root/build/src/app/svod" --ini "$ini"
fi
echo "No display: headless demo."
"$cli" --ini "$ini" sql "select KOD, NAZVANIE from FILIALS order by KOD"
